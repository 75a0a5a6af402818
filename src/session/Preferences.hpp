#pragma once
// Preferences: the user's switches and shortcut, read at start and saved all together on
// every change, and opening at login, which is the login service's own.
//
//   preferences.setMediaKeys(false);   // saved, then the shell's hook applies it
//
// It also keeps the settings file's problems in AppState::storageProblems: the file found
// unusable at start, paired TVs it could not read, and how the latest save went.
//
// A job of AppStore (see SessionContext); loop thread only. The login service must outlive it.

#include <cstdint>
#include <functional>
#include <string>

#include "session/LoginService.hpp"
#include "session/SessionContext.hpp"

namespace orvel {

class Preferences {
public:
    // Reads the preferences, the paired TVs and the last TV into the state.
    Preferences(SessionContext& context, LoginService& login);

    // The preferences were saved; the shell applies them.
    void setOnChange(std::function<void()> hook) { onChange_ = std::move(hook); }

    void setMediaKeys(bool on);
    void setCommandVolume(bool on);
    void setFollowPlaying(bool on);  // also starts or ends watching the other TVs
    void setShowsMenuBarIcon(bool on);
    void setShowsInMediaControls(bool on);
    void setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label);
    // A refusal of the login service goes on the error line.
    void setLogin(bool enabled);

    // The defaults file was just written, or failed to be (Defaults::setOnWrite).
    void settingsWritten();

private:
    void save();
    // Shows `current` in place of the problem `shown` stood for.
    void replaceProblem(std::string& shown, const std::string& current);

    SessionContext& context_;
    LoginService& login_;
    std::function<void()> onChange_;
    std::string shownLoadProblem_;
    std::string shownWriteProblem_;
};

}  // namespace orvel
