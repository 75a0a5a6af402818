#include "session/AppStore.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace orvel {

std::shared_ptr<AppStore> AppStore::create(Services services) {
    if (!services.bridge) {
        (void)std::fputs("AppStore needs a bridge\n", stderr);
        std::abort();
    }
    std::shared_ptr<AppStore> store(new AppStore(std::move(services)));
    store->context_.owner = store;
    store->wireStorage();
    store->wireBridge();
    // What the constructor set is the starting point, not a change.
    store->published_ = store->state_;
    store->publishPosted_ = false;
    return store;
}

AppStore::AppStore(Services services)
    : bridge_(std::move(services.bridge)),
      keychain_(services.loop, services.credentials, std::move(services.keychainExecutor)),
      context_{.loop = services.loop,
               .defaults = services.defaults,
               .bridge = *bridge_,
               .keychain = keychain_,
               .state = state_,
               .demo = services.demo},
      preferences_(context_, services.login) {
    context_.jobs = {&connection_, &pairing_, &watcher_, &commands_};
    // this: the context is a member of the store, so neither outlives the other.
    context_.changed = [this] { changed(); };
    context_.stateChanged = [this] {
        changed();
        if (auto hook = onStateChange_) hook();
    };
}

AppStore::~AppStore() = default;

void AppStore::start() {
    if (!context_.demo) {
        // this: the store, which whileAlive holds for the call.
        keychain_.open(context_.whileAlive([this](const std::string& description) {
            state_.credentialStorage = description;
            changed();
        }));
    }
    connection_.start();
}

void AppStore::shutdown() {
    connection_.shutdown();
    keychain_.cancel();
}

void AppStore::wireBridge() {
    // this: the store, which whileAlive holds for each call.
    bridge_->setOnEvent(context_.whileAlive(
        [this](const nlohmann::json& event) { connection_.handleEvent(event); }));
    bridge_->setOnFailure(context_.whileAlive(
        [this](const std::string& message) { connection_.bridgeFailed(message); }));
}

void AppStore::wireStorage() {
    // this: the store, which whileAlive holds for each call.
    keychain_.setOnProblems(context_.whileAlive([this](const std::vector<std::string>& problems) {
        for (const auto& problem : problems) state_.noteStorageProblem(problem);
        changed();
    }));
    context_.defaults.setOnWrite(context_.whileAlive([this] { preferences_.settingsWritten(); }));
}

// --- Published state ---

Subscription AppStore::observe(std::function<void()> observer) {
    return observers_.subscribe(std::move(observer));
}

void AppStore::changed() {
    if (publishPosted_) return;
    publishPosted_ = true;
    context_.loop.post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->publish();
    });
}

void AppStore::publish() {
    publishPosted_ = false;
    if (state_ == published_) return;
    published_ = state_;
    observers_.notify();
}

std::vector<TVDevice> AppStore::allDevices() const {
    std::vector<TVDevice> all = state_.savedDevices;
    for (const auto& found : state_.devices) {
        if (!state_.savedDevice(found.id)) all.push_back(found);
    }
    return all;
}

std::string_view AppStore::tvKind() const {
    const TVDevice* selected = state_.savedDevice(state_.selectedID);
    return selected ? selected->kind() : "TV";
}

// --- View state ---

void AppStore::setNavigationExpanded(bool expanded) {
    state_.navigationExpanded = expanded;
    changed();
}

void AppStore::setSettingsTab(std::string tab) {
    state_.settingsTab = std::move(tab);
    changed();
}

void AppStore::dismissError() {
    state_.error.clear();
    changed();
}

void AppStore::setPairingPIN(std::string pin) {
    state_.pairingPIN = std::move(pin);
    changed();
}

void AppStore::setRecordingShortcut(bool recording) {
    state_.recordingShortcut = recording;
    changed();
}

void AppStore::setShortcutError(std::string message) {
    state_.shortcutError = std::move(message);
    changed();
}

void AppStore::setKeyboardAccess(KeyboardAccess access) {
    state_.keyboardAccess = access;
    changed();
}

void AppStore::focusText() {
    state_.textEntryVisible = true;
    ++state_.focusTextRequest;
    changed();
}

void AppStore::hideTextEntry() {
    state_.textEntryVisible = false;
    changed();
}

}  // namespace orvel
