#include "app/LaunchOptions.hpp"

namespace orvel {

LaunchOptions LaunchOptions::parse(std::span<const char* const> arguments) {
    LaunchOptions options;
    for (const char* argument : arguments) {
        if (!argument) continue;
        const std::string_view text(argument);
        if (text == "--demo") options.demo = true;
        if (text == "--headless") options.headless = true;
    }
    return options;
}

}  // namespace orvel
