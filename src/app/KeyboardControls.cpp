#include "app/KeyboardControls.hpp"

#include <string>
#include <utility>

#include "core/KeyboardShortcut.hpp"

namespace orvel {

KeyboardControls::KeyboardControls(MainLoop& loop, AppStore& store, Backends backends,
                                   std::optional<std::filesystem::path> diagnostics,
                                   std::function<void()> action)
    : loop_(loop),
      store_(store),
      mediaBackend_(std::move(backends.mediaKeys)),
      diagnostics_(std::move(diagnostics)),
      hotKey_(GlobalHotKey::create(loop, std::move(backends.hotKey),
                                   std::move(backends.desktopShortcuts))) {
    hotKey_->setAction(std::move(action));
}

KeyboardControls::~KeyboardControls() {
    stop();
}

void KeyboardControls::start() {
    if (stopped_ || mediaKeys_) return;
    mediaKeys_ = MediaKeys::create(loop_, store_, std::move(mediaBackend_), diagnostics_);
    // Raw this: stop() takes both hooks away before we go.
    store_.setOnStateChange([this] { mediaKeys_->sync(); });
    store_.setOnPreferencesChange([this] { applyPreferences(false); });
    applyPreferences(true);
}

void KeyboardControls::requestAccess() {
    if (mediaKeys_) mediaKeys_->requestAccess();
}

void KeyboardControls::setSuspended(bool suspended) {
    if (mediaKeys_) mediaKeys_->setSuspended(suspended);
}

void KeyboardControls::stop() {
    if (std::exchange(stopped_, true)) return;
    if (mediaKeys_) {
        store_.setOnStateChange({});
        store_.setOnPreferencesChange({});
        mediaKeys_->stop();
    }
    hotKey_->stop();
}

void KeyboardControls::applyPreferences(bool repairShortcut) {
    mediaKeys_->sync();
    const auto& state = store_.state();
    const KeyboardShortcut stored{state.shortcutCode, state.shortcutModifiers};
    if (hotKey_->registerShortcut(stored)) return;
    const std::string message = hotKey_->errorMessage();
    // Only at start: a later change never replaces the user's choice.
    if (repairShortcut && stored != KeyboardShortcut::kDefault &&
        hotKey_->registerShortcut(KeyboardShortcut::kDefault)) {
        store_.setShortcut(KeyboardShortcut::kDefault.code, KeyboardShortcut::kDefault.modifiers,
                           std::string(KeyboardShortcut::kDefaultLabel));
        store_.setShortcutError(message + " Restored " +
                                std::string(KeyboardShortcut::kDefaultLabel) + ".");
        return;
    }
    store_.setShortcutError(message);
}

}  // namespace orvel
