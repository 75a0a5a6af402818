#pragma once
// ControlChannel: what the app's control server and the `orvel` tool must agree on besides
// the message format: where the socket lives and how large a request may be.
//
//   auto path = ControlChannel::socketPath();   // reads XDG_DATA_HOME and HOME
//   if (!path) { /* no home directory: say so */ }
//
// Pure functions and constants; socketPath() reads the environment and the password
// database, so call it before starting threads that change the environment.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::ControlChannel {

// The most request bytes the server buffers; a line of exactly this many bytes, line feed
// included, is accepted.
inline constexpr std::size_t kMaxRequestBytes = 65536;

inline constexpr std::string_view kFolderName = "Orvel Remote";
inline constexpr std::string_view kSocketName = "control.sock";

// "$XDG_DATA_HOME/Orvel Remote", where an unset, empty or relative XDG_DATA_HOME means
// "$HOME/.local/share". Pass "" for an unset variable. Nothing when no absolute base
// directory results (no usable XDG_DATA_HOME and an empty or relative home).
std::optional<std::string> folderPath(std::string_view xdgDataHome, std::string_view home);

// folderPath + "/control.sock".
std::optional<std::string> socketPath(std::string_view xdgDataHome, std::string_view home);

// The same from the real environment; an unset or empty HOME falls back to the password
// database entry of the current user.
std::optional<std::string> folderPath();
std::optional<std::string> socketPath();

}  // namespace orvel::ControlChannel
