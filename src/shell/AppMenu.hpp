#pragma once
// AppMenu: the entries of the remote's "Open App…" menu, from what the view knows of the TV's
// apps: still loading, the sentence of a failure, or the list in the TV's order, the app in
// front checked. Pure, so the rules are tested without widgets.
//
//   for (const auto& entry : AppMenu::entries(cached, loading, error, status.appID))
//       addEntry(entry.title, entry.enabled, entry.checked, entry.id);
//
// A plain value; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/NamedEntry.hpp"

namespace orvel {

struct AppMenu {
    struct Entry {
        std::string title;
        std::string id;  // the app to launch; empty for a disabled line of text
        bool enabled = false;
        bool checked = false;

        bool operator==(const Entry&) const = default;
    };

    static constexpr const char* kLoading = "Loading apps…";
    static constexpr const char* kNoApps = "This TV didn't list any apps.";

    // A known list wins over a newer failure: the refresh in the background may fail while
    // the apps shown are still right.
    static std::vector<Entry> entries(const std::optional<std::vector<NamedEntry>>& apps,
                                      bool loading, std::string_view error,
                                      std::string_view currentAppID);
};

}  // namespace orvel
