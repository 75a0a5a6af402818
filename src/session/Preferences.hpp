#pragma once
// Preferences: the user's switches and shortcut, read at start and saved all together on
// every change, and opening at login, which is the login service's own.
//
//   preferences.setMediaKeys(false);   // saved, then the shell's hook applies it
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
    void setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label);
    // A refusal of the login service goes on the error line.
    void setLogin(bool enabled);

private:
    void save();

    SessionContext& context_;
    LoginService& login_;
    std::function<void()> onChange_;
};

}  // namespace orvel
