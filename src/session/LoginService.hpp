#pragma once
// LoginService: whether the application opens when the user logs in, as the desktop records
// it. The session reads it at start and changes it on request; it stores nothing itself.
// LoginItemService is the real one (an XDG autostart entry); tests supply their own.
// Loop thread only.

#include <optional>
#include <string>

namespace orvel {

class LoginService {
public:
    virtual ~LoginService() = default;
    // True only when a login would start the application.
    virtual bool enabled() const = 0;
    // Registers or unregisters; one sentence when that failed.
    virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

}  // namespace orvel
