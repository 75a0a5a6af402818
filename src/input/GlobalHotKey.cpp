#include "input/GlobalHotKey.hpp"

#include <algorithm>
#include <utility>

#include "session/AppStore.hpp"

namespace orvel {

namespace {

constexpr std::string_view kUnsupportedMessage =
    "This desktop offers no global shortcuts to applications; open the remote from the tray "
    "icon or by starting Orvel again.";
constexpr std::string_view kReservedMessage =
    "This shortcut is used by the desktop. Choose another combination.";
constexpr std::string_view kInUseMessage =
    "This shortcut is already in use. Choose another combination.";

std::string startMessage(const HotKeyBackend::StartFailure& failure) {
    if (failure.unsupported) return std::string(kUnsupportedMessage);
    return "Couldn\u2019t start keyboard shortcuts (" + std::to_string(failure.code) +
           "). Restart Orvel to try again.";
}

std::string refusalMessage(const HotKeyBackend::Refusal& refusal) {
    if (refusal.inUse) return std::string(kInUseMessage);
    return "Couldn\u2019t register this shortcut (" + std::to_string(refusal.code) +
           "). Choose another combination.";
}

}  // namespace

std::shared_ptr<GlobalHotKey> GlobalHotKey::create(MainLoop& loop,
                                                   std::unique_ptr<HotKeyBackend> backend,
                                                   DesktopShortcuts desktopShortcuts) {
    return std::shared_ptr<GlobalHotKey>(
        new GlobalHotKey(loop, std::move(backend), std::move(desktopShortcuts)));
}

GlobalHotKey::GlobalHotKey(MainLoop& loop, std::unique_ptr<HotKeyBackend> backend,
                           DesktopShortcuts desktopShortcuts)
    : loop_(loop), backend_(std::move(backend)), desktopShortcuts_(std::move(desktopShortcuts)) {}

void GlobalHotKey::setAction(std::function<void()> action) {
    action_ = std::move(action);
}

const std::string& GlobalHotKey::errorMessage() const {
    return errorMessage_;
}

std::optional<KeyboardShortcut> GlobalHotKey::shortcut() const {
    return registration_.shortcut();
}

bool GlobalHotKey::registerShortcut(const KeyboardShortcut& shortcut) {
    errorMessage_.clear();
    if (!ensureStarted()) return false;
    if (registration_.shortcut() == shortcut) return true;
    if (reserved(shortcut)) {
        errorMessage_ = kReservedMessage;
        return false;
    }
    const std::uint32_t identifier = ++nextIdentifier_;
    auto refusal = registration_.replace(
        shortcut,
        [&](const KeyboardShortcut& wanted) { return backend_->grab(wanted, identifier); },
        [&](HotKeyBackend::Token old) { backend_->ungrab(old); });
    if (refusal) {
        errorMessage_ = refusalMessage(*refusal);
        return false;
    }
    activeIdentifier_ = identifier;
    presses_.activate(identifier);
    return true;
}

bool GlobalHotKey::ensureStarted() {
    if (running_) return true;
    auto failure =
        backend_->start([weak = weak_from_this()](std::uint32_t identifier, bool pressed) {
            if (auto self = weak.lock()) self->receive(identifier, pressed);
        });
    if (failure) {
        errorMessage_ = startMessage(*failure);
        return false;
    }
    running_ = true;
    return true;
}

bool GlobalHotKey::reserved(const KeyboardShortcut& shortcut) const {
    if (!desktopShortcuts_) return false;
    const auto taken = desktopShortcuts_();
    return std::ranges::find(taken, shortcut) != taken.end();
}

void GlobalHotKey::receive(std::uint32_t identifier, bool pressed) {
    // Stray identifiers (released or replaced grabs) and repeats stop here.
    if (!presses_.receive(identifier, pressed)) return;
    // The action may open windows or replace the shortcut: never inside the backend's dispatch.
    loop_.post([weak = weak_from_this(), identifier] {
        auto self = weak.lock();
        if (!self || self->activeIdentifier_ != identifier || !self->action_) return;
        auto action = self->action_;  // the action may replace itself
        action();
    });
}

void GlobalHotKey::stop() {
    registration_.clear([&](HotKeyBackend::Token token) { backend_->ungrab(token); });
    if (running_) backend_->stop();
    running_ = false;
    activeIdentifier_.reset();
    presses_.activate(std::nullopt);
}

void GlobalHotKey::record(AppStore& store, const KeyboardShortcut& pressed,
                          std::string_view characters) {
    if (!store.state().recordingShortcut) return;
    if (pressed.code == kEscapeCode) {
        store.setRecordingShortcut(false);
        return;
    }
    if (auto message = pressed.validationMessage()) {
        store.setShortcutError(std::string(*message));
        return;
    }
    if (!registerShortcut(pressed)) {
        store.setShortcutError(errorMessage_);
        return;
    }
    store.setRecordingShortcut(false);
    store.setShortcutError("");
    store.setShortcut(pressed.code, pressed.modifiers, pressed.label(characters));
}

}  // namespace orvel
