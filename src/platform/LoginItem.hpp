#pragma once
// LoginItem: whether Orvel opens at login, kept as the XDG autostart entry
// "$XDG_CONFIG_HOME/autostart/orvel-remote.desktop" that starts the running OrvelRemote.
// Nothing else records the choice: the entry is the state.
//
//   LoginItem item(AppPaths::autostartEntryFile(env).value_or(""),
//                  LoginItem::runningExecutable());
//   if (auto error = item.setLogin(true)) showError(*error);
//
// Main thread; small blocking file calls. Never throws.

#include <optional>
#include <string>

namespace orvel {

class LoginItem {
public:
    // `executable`: the absolute path the entry starts; empty when unknown (enabling fails).
    LoginItem(std::string entryFile, std::string executable);

    // The path of this process's program, from /proc/self/exe; empty when unreadable.
    static std::string runningExecutable();

    // True when the entry exists and a session would start it.
    bool launchAtLogin() const;
    // Writes or removes the entry. On failure, one sentence saying so.
    std::optional<std::string> setLogin(bool enabled);

    const std::string& entryFile() const { return entryFile_; }
    const std::string& executable() const { return executable_; }

private:
    std::string entryFile_;
    std::string executable_;
};

}  // namespace orvel
