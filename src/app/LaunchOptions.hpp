#pragma once
// LaunchOptions: what the command line of OrvelRemote asks for. Every argument must be one the
// app knows, matched exactly; anything else is a usage error, found before the app touches a
// file, a socket or a child. A path flag takes the argument after it, whatever it looks like;
// as the last argument it is ignored. Pure; read once in main().
//
//   auto options = LaunchOptions::parse({argv + 1, argv + argc});
//   if (!options) fail(options.error(), 2);

#include <optional>
#include <span>
#include <string>

#include "platform/Result.hpp"

namespace orvel {

struct LaunchOptions {
    bool demo = false;        // "--demo": made-up TVs, no bridge
    bool headless = false;    // "--headless": no interface, even with a display
    bool showRemote = false;  // "--show-remote": open the remote once launched
    bool help = false;        // "--help"
    bool version = false;     // "--version"
    // The values of "--media-key-diagnostics PATH", "--render-icon PATH", "--render-previews DIR".
    std::optional<std::string> mediaKeyDiagnostics = std::nullopt;
    std::optional<std::string> renderIcon = std::nullopt;
    std::optional<std::string> renderPreviews = std::nullopt;

    // `arguments` without the program name. A failure is the sentence for standard error.
    static Result<LaunchOptions> parse(std::span<const char* const> arguments);

    // What --help prints.
    static const char* usage();
};

}  // namespace orvel
