#pragma once
// LaunchOptions: what the command line of OrvelRemote asks for. Flags are matched exactly,
// at any position; anything else is left for the parts of the application that read it.
// Pure; read once in main().

#include <span>
#include <string_view>

namespace orvel {

struct LaunchOptions {
    bool demo = false;      // "--demo": made-up TVs, no bridge
    bool headless = false;  // "--headless": no interface, even with a display

    // `arguments` without the program name.
    static LaunchOptions parse(std::span<const char* const> arguments);
};

}  // namespace orvel
