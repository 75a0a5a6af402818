#pragma once
// The session harness (a store on a virtual clock and a scripted bridge) for the shell's tests,
// and the Bedroom TV's "state" event with the actions it takes.

#include <initializer_list>

#include <nlohmann/json.hpp>

#include "../session/SessionHarness.hpp"

namespace orvel::test {

inline nlohmann::json stateWith(std::initializer_list<const char*> capabilities) {
    nlohmann::json list = nlohmann::json::array();
    for (const char* action : capabilities) list.push_back(action);
    return {{"event", "state"}, {"device", kBedroom.id}, {"capabilities", list}, {"power", "On"}};
}

}  // namespace orvel::test
