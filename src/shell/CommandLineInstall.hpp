#pragma once
// CommandLineInstall: puts a link to the `orvel` beside the running app into a folder on the
// user's command path, or, when no folder takes it, hands over a shell command that does it as
// root. Plain files and POSIX calls only; the clipboard is the caller's (Clipboard::putText).
//
//   const auto paths = CommandLineInstall::defaults();
//   note = CommandLineInstall::run(paths, [](std::string text) { Clipboard::putText(text); });
//
// Owner: none (free functions over a Paths value). Thread: any, one call at a time per folder.
// Nothing to end.
//
// Folders are tried in order: ~/.local/bin, then /usr/local/bin. A folder is skipped when it is
// not writable, except that a missing ~/.local/bin is made first (0755, with its parents):
// fresh desktops lack it although their login shells put it on the path. In a folder, an
// existing "orvel" is replaced only when it is a link left by this or another copy of the app:
// its destination's file name is "orvel" and that destination either no longer exists (a copy
// moved or deleted) or has an "OrvelRemote" beside it, as every copy, built or installed, does.
// Any other link, a regular file or a folder named "orvel" is never touched: that folder is
// skipped. The new link is made beside and renamed over the old, so a failure never leaves the
// user without one. A failure anywhere only moves on to the next folder.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AppPaths.hpp"

namespace orvel::CommandLineInstall {

inline constexpr std::string_view kLinkName = "orvel";
inline constexpr std::string_view kNoToolMessage =
    "Orvel could not find its own orvel tool, so nothing was installed.";
inline constexpr std::string_view kCopiedMessage =
    "Copied an install command — paste it in a terminal (it asks for your password).";

struct Candidate {
    std::string folder;
    bool createWhenMissing = false;  // made with its parents (0755) before the writable check
};

struct Paths {
    std::string tool;                   // the link's destination, written as is
    std::vector<Candidate> candidates;  // in the order they are tried
    std::string commandPath = {};       // PATH; empty: unknown
};

// The tool beside `executable` (not canonicalised) and the two folders for `env`; without an
// absolute home only /usr/local/bin.
Paths forExecutable(const std::string& executable, const AppPaths::Environment& env);
// forExecutable() for /proc/self/exe and the process environment, with its PATH.
Paths defaults();

// The first candidate's "orvel" that is a link whose destination is exactly `paths.tool`.
std::optional<std::string> installedPath(const Paths& paths);

// Installs the link and returns the sentence to show: "Installed at " + link + ". Open a new
// terminal window and try orvel tvs.", followed, when the folder is not on `commandPath`, by a
// sentence saying it joins it at the next login (a made ~/.local/bin does); or, when no folder
// worked, kCopiedMessage after giving installCommand() to `copy`; without a tool, kNoToolMessage.
std::string run(const Paths& paths, const std::function<void(std::string)>& copy);

// "sudo mkdir -p /usr/local/bin && sudo ln -sfn '<tool>' /usr/local/bin/orvel", the tool quoted
// for the shell; -n so that a link to a folder is replaced, not filled.
std::string installCommand(const std::string& tool);

}  // namespace orvel::CommandLineInstall
