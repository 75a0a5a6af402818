#include "shell/AppMenu.hpp"

namespace orvel {

std::vector<AppMenu::Entry> AppMenu::entries(const std::optional<std::vector<NamedEntry>>& apps,
                                             bool loading, std::string_view error,
                                             std::string_view currentAppID) {
    if (!apps) {
        if (!error.empty() && !loading) return {{std::string(error), "", false, false}};
        return {{kLoading, "", false, false}};
    }
    if (apps->empty()) return {{loading ? kLoading : kNoApps, "", false, false}};
    std::vector<Entry> listed;
    listed.reserve(apps->size());
    for (const auto& app : *apps) {
        listed.push_back({app.name, app.id, true, !currentAppID.empty() && app.id == currentAppID});
    }
    return listed;
}

}  // namespace orvel
