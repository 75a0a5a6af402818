#include "session/Preferences.hpp"

#include <string>

#include "session/SessionDefaults.hpp"
#include "session/TVWatcher.hpp"

namespace orvel {

Preferences::Preferences(SessionContext& context, LoginService& login)
    : context_(context), login_(login) {
    SessionDefaults::registerPreferences(context_.defaults);
    auto devicesProblem = SessionDefaults::loadInto(context_.defaults, context_.state);
    context_.state.launchAtLogin = login_.enabled();
    replaceProblem(shownLoadProblem_, context_.defaults.loadProblem());
    context_.state.noteStorageProblem(devicesProblem);
}

void Preferences::setMediaKeys(bool on) {
    context_.state.mediaKeys = on;
    save();
}

void Preferences::setCommandVolume(bool on) {
    context_.state.commandVolume = on;
    save();
}

void Preferences::setFollowPlaying(bool on) {
    context_.state.followPlaying = on;
    save();
    context_.jobs.watcher->applyFollowPreference();
}

void Preferences::setShowsMenuBarIcon(bool on) {
    context_.state.showsMenuBarIcon = on;
    save();
}

void Preferences::setShowsInMediaControls(bool on) {
    context_.state.showsInMediaControls = on;
    save();
}

void Preferences::setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label) {
    context_.state.shortcutCode = code;
    context_.state.shortcutModifiers = modifiers;
    context_.state.shortcutLabel = std::move(label);
    save();
}

void Preferences::save() {
    context_.changed();
    SessionDefaults::savePreferences(context_.state, context_.defaults);
    if (auto hook = onChange_) hook();
}

void Preferences::settingsWritten() {
    replaceProblem(shownLoadProblem_, context_.defaults.loadProblem());
    replaceProblem(shownWriteProblem_, context_.defaults.lastWriteError());
    context_.changed();
}

void Preferences::replaceProblem(std::string& shown, const std::string& current) {
    if (shown == current) return;
    std::erase(context_.state.storageProblems, shown);
    shown = current;
    context_.state.noteStorageProblem(current);
}

void Preferences::setLogin(bool enabled) {
    context_.changed();
    if (auto error = login_.setEnabled(enabled)) {
        context_.state.error = *error;
        return;
    }
    context_.state.launchAtLogin = login_.enabled();
}

}  // namespace orvel
