#pragma once
// LoginItemService: the login service over the XDG autostart entry (platform LoginItem).
// Owns its LoginItem; loop thread only.

#include "platform/LoginItem.hpp"
#include "session/LoginService.hpp"

namespace orvel {

class LoginItemService final : public LoginService {
public:
    explicit LoginItemService(LoginItem item) : item_(std::move(item)) {}

    bool enabled() const override { return item_.launchAtLogin(); }
    std::optional<std::string> setEnabled(bool enabled) override { return item_.setLogin(enabled); }

private:
    LoginItem item_;
};

}  // namespace orvel
