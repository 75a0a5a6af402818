#include "bridge/BridgeSetup.hpp"

#include <string_view>

#include "bridge/Household.hpp"
#include "bridge/SimBackend.hpp"
#include "bridge/UnavailableBackend.hpp"

namespace orvel {

std::variant<BridgeSetup, std::string> BridgeSetup::fromSimulate(const char* simulate,
                                                                 MainLoop& loop) {
    const std::string_view setting = simulate ? simulate : "";
    if (setting.empty()) return BridgeSetup{std::make_unique<UnavailableBackend>(), {}};

    auto loaded = setting == "1" ? Household::builtIn() : Household::load(std::string(setting));
    if (auto* error = std::get_if<std::string>(&loaded)) return *error;
    auto& household = std::get<Household>(loaded);
    return BridgeSetup{std::make_unique<SimBackend>(loop, std::move(household.tvs)),
                       std::move(household.faults)};
}

}  // namespace orvel
