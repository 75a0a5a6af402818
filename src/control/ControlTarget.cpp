#include "control/ControlTarget.hpp"

#include <variant>

#include "core/ControlMessage.hpp"
#include "core/JoinText.hpp"
#include "core/JsonFields.hpp"
#include "lookup/TVLookup.hpp"

namespace orvel::ControlTarget {
namespace {

Failure couldMean(const std::string& query, const std::vector<std::string>& names) {
    return Failure{"\"" + query + "\" could mean " + joinText(names, " or ") + "."};
}

Result<TVDevice> named(const AppState& state, const std::string& name) {
    std::vector<NamedEntry> entries;
    std::vector<std::string> names;
    for (const auto& saved : state.savedDevices) {
        entries.push_back({saved.id, saved.name});
        names.push_back(saved.name);
    }
    const auto match = TVLookup::resolve(name, entries);
    if (const auto* found = std::get_if<TVLookup::Found>(&match)) {
        if (const TVDevice* saved = state.savedDevice(found->id)) return *saved;
    }
    if (const auto* ambiguous = std::get_if<TVLookup::Ambiguous>(&match)) {
        return couldMean(name, ambiguous->names);
    }
    std::string message = "No paired TV is called \"" + name + "\".";
    if (!names.empty()) message += " Paired: " + joinText(names, ", ") + ".";
    return Failure{message};
}

// A "tv" that is there but not text names no TV; guessing the selected one could act on the
// wrong TV.
bool unreadableName(const nlohmann::json& request) {
    const auto* name = field(request, "tv");
    return name && !name->is_string();
}

}  // namespace

Result<TVDevice> device(const AppState& state, const nlohmann::json& request) {
    if (unreadableName(request)) return Failure{std::string(ControlMessage::kUnreadableRequest)};
    if (auto name = textField(request, "tv")) return named(state, *name);
    if (const TVDevice* selected = state.savedDevice(state.selectedID)) return *selected;
    return Failure{state.savedDevices.empty() ? kNoTVsPaired : kNoTVSelected};
}

Result<std::optional<std::string>> watched(const AppState& state, const nlohmann::json& request) {
    if (unreadableName(request)) return Failure{std::string(ControlMessage::kUnreadableRequest)};
    if (auto name = textField(request, "tv")) {
        auto target = named(state, *name);
        if (!target) return Failure{target.error()};
        return std::optional<std::string>(target->id);
    }
    if (state.savedDevices.empty()) return Failure{kNoTVsPaired};
    return std::optional<std::string>();
}

Result<std::string> app(const std::string& query, const std::vector<NamedEntry>& apps,
                        const std::string& tvName) {
    for (const auto& entry : apps) {
        if (entry.id == query) return entry.id;
    }
    const auto match = TVLookup::resolve(query, apps);
    if (const auto* found = std::get_if<TVLookup::Found>(&match)) return found->id;
    if (const auto* ambiguous = std::get_if<TVLookup::Ambiguous>(&match)) {
        return couldMean(query, ambiguous->names);
    }
    if (apps.empty()) return Failure{tvName + " didn't list any apps."};
    return Failure{tvName + " has no app called \"" + query + "\". Run orvel apps to see them."};
}

}  // namespace orvel::ControlTarget
