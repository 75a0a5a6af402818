#include "input/ReservedShortcuts.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "input/GnomeShortcuts.hpp"
#include "input/KdeShortcuts.hpp"

namespace orvel {

namespace {

// Desktops that keep GNOME's binding schemas, whatever else they call themselves.
constexpr std::array<std::string_view, 4> kGnomeFamily{"GNOME", "Unity", "Budgie", "Pantheon"};

bool names(std::string_view desktops, std::string_view desktop) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    while (true) {
        auto colon = desktops.find(':');
        if (std::ranges::equal(desktops.substr(0, colon), desktop,
                               [&](char a, char b) { return lower(a) == lower(b); }))
            return true;
        if (colon == std::string_view::npos) return false;
        desktops.remove_prefix(colon + 1);
    }
}

}  // namespace

ReservedShortcuts::Readers ReservedShortcuts::Readers::system() {
    return {GnomeShortcuts::read, KdeShortcuts::read};
}

ReservedShortcuts::ReservedShortcuts(std::string currentDesktop, AppPaths::Environment paths,
                                     Readers readers)
    : gnome_(std::ranges::any_of(
          kGnomeFamily, [&](std::string_view each) { return names(currentDesktop, each); })),
      kde_(names(currentDesktop, "KDE")),
      paths_(std::move(paths)),
      readers_(std::move(readers)) {}

ReservedShortcuts ReservedShortcuts::forProcess() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");  // NOLINT(concurrency-mt-unsafe)
    return {desktop ? desktop : "", AppPaths::processEnvironment()};
}

std::vector<KeyboardShortcut> ReservedShortcuts::operator()() const {
    std::vector<KeyboardShortcut> shortcuts;
    if (gnome_ && readers_.gnome) shortcuts = readers_.gnome();
    if (kde_ && readers_.kde) {
        auto more = readers_.kde(paths_);
        shortcuts.insert(shortcuts.end(), more.begin(), more.end());
    }
    return shortcuts;
}

}  // namespace orvel
