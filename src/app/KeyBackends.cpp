#include "app/KeyBackends.hpp"

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "input/FirstHotKeyBackend.hpp"
#include "input/ReservedShortcuts.hpp"
#include "input/x11/X11HotKeyBackend.hpp"
#include "input/x11/X11MediaKeyBackend.hpp"

namespace orvel::KeyBackends {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read at start
    return value != nullptr && *value != '\0';
}

}  // namespace

bool hasDisplay() {
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

bool onWayland() {
    return isSet("WAYLAND_DISPLAY");
}

bool onX11() {
    return isSet("DISPLAY");
}

std::optional<KeyboardControls::Backends> forDisplay(MainLoop& loop,
                                                     X11Connection::WatchReadable watch,
                                                     std::unique_ptr<HotKeyBackend> preferred) {
    if (!hasDisplay()) return std::nullopt;
    auto connection = X11Connection::create(loop, std::move(watch));
    std::unique_ptr<HotKeyBackend> hotKey = std::make_unique<X11HotKeyBackend>(connection);
    if (preferred) {
        std::vector<std::unique_ptr<HotKeyBackend>> choices;
        choices.push_back(std::move(preferred));
        choices.push_back(std::move(hotKey));
        hotKey = std::make_unique<FirstHotKeyBackend>(std::move(choices));
    }
    return KeyboardControls::Backends{
        .hotKey = std::move(hotKey),
        .mediaKeys = std::make_unique<X11MediaKeyBackend>(connection),
        .desktopShortcuts = ReservedShortcuts::forProcess(),
    };
}

}  // namespace orvel::KeyBackends
