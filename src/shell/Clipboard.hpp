#pragma once
// Clipboard: plain text onto the desktop's clipboard, for the parts of the shell that are
// written without Qt (CommandLineInstall hands its command here).
//
//   CommandLineInstall::run(paths, [](std::string text) { Clipboard::putText(text); });
//
// Owner: none. Thread: the GUI thread, with a QGuiApplication alive. Nothing to end.

#include <string>

namespace orvel::Clipboard {

// Replaces whatever the clipboard held with `text` (UTF-8).
void putText(const std::string& text);

}  // namespace orvel::Clipboard
