#include "app/LaunchOptions.hpp"

#include <string_view>

namespace orvel {
namespace {

using Flag = bool LaunchOptions::*;
using PathFlag = std::optional<std::string> LaunchOptions::*;

struct FlagName {
    std::string_view name;
    Flag flag;
};
struct PathFlagName {
    std::string_view name;
    PathFlag flag;
};

constexpr FlagName kFlags[] = {
    {"--demo", &LaunchOptions::demo},
    {"--headless", &LaunchOptions::headless},
    {"--show-remote", &LaunchOptions::showRemote},
    {"--help", &LaunchOptions::help},
    {"--version", &LaunchOptions::version},
};
constexpr PathFlagName kPathFlags[] = {
    {"--media-key-diagnostics", &LaunchOptions::mediaKeyDiagnostics},
    {"--render-icon", &LaunchOptions::renderIcon},
    {"--render-previews", &LaunchOptions::renderPreviews},
};

// Sets the flag named `text`; false when no flag has that name.
bool setFlag(LaunchOptions& options, std::string_view text) {
    for (const auto& [name, flag] : kFlags) {
        if (text != name) continue;
        options.*flag = true;
        return true;
    }
    return false;
}

const PathFlag* pathFlag(std::string_view text) {
    for (const auto& entry : kPathFlags)
        if (text == entry.name) return &entry.flag;
    return nullptr;
}

}  // namespace

Result<LaunchOptions> LaunchOptions::parse(std::span<const char* const> arguments) {
    LaunchOptions options;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (!arguments[index]) continue;
        const std::string_view text(arguments[index]);
        if (setFlag(options, text)) continue;
        if (const PathFlag* flag = pathFlag(text)) {
            const bool hasValue = index + 1 < arguments.size() && arguments[index + 1];
            if (!hasValue) continue;
            auto& value = options.*(*flag);
            if (!value) value = arguments[index + 1];  // the first one given counts
            ++index;
            continue;
        }
        return Failure{"Unknown argument \"" + std::string(text) + "\"; see OrvelRemote --help."};
    }
    if (options.demo && options.headless) {
        return Failure{
            "--demo cannot run with --headless; for simulated TVs, run with ORVEL_SIMULATE=1."};
    }
    return options;
}

const char* LaunchOptions::usage() {
    return "Usage: OrvelRemote [--headless] [--show-remote] [--media-key-diagnostics PATH]\n"
           "       OrvelRemote --render-icon PATH | --render-previews DIR\n"
           "       OrvelRemote --help | --version\n"
           "\n"
           "  --headless                   run without an interface: the TV session and the\n"
           "                               socket for the orvel command, until SIGINT or SIGTERM\n"
           "  --show-remote                open the remote once launched\n"
           "  --demo                       show made-up TVs in the remote (not with --headless)\n"
           "  --media-key-diagnostics PATH write what the media keys do to PATH\n"
           "  --render-icon PATH           write the icon set into the folder PATH\n"
           "  --render-previews DIR        write images of the main screens into DIR\n"
           "\n"
           "On a desktop the app shows its icon in the system tray, with the remote under\n"
           "it; without a display it runs headless. Launched again, it opens the remote of\n"
           "the one running. With a display, Ctrl+Alt+Super+P opens the remote and Super with\n"
           "the media keys works from any program. The two renderings need no display: they\n"
           "draw off screen and quit (with both, only the icon set is written).\n"
           "ORVEL_SIMULATE=1 serves simulated TVs instead of the ones on the network.\n";
}

}  // namespace orvel
