// Control lines as either side reads them: a request on the server, a reply or watch line
// in the tool. Whatever object comes out is looked at the way its reader would.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ControlMessage.hpp"
#include "core/RemoteAction.hpp"
#include "core/TVIdentifier.hpp"
#include "core/TVSummary.hpp"
#include "lookup/TVLookup.hpp"

namespace {

using nlohmann::json;

std::string_view text(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string()
               ? std::string_view(it->get_ref<const std::string&>())
               : std::string_view();
}

void summary(const json& tv) {
    if (!tv.is_object()) return;
    if (auto position = tv.find("position"); position != tv.end() && position->is_number()) {
        orvel::TVSummary::roundedPosition(position->get<double>());
    }
    orvel::TVIdentifier::kind(text(tv, "name"));
    orvel::TVSummary::appIconUrl("roku:fuzz", text(tv, "address"), text(tv, "appId"));
    if (auto capabilities = tv.find("capabilities");
        capabilities != tv.end() && capabilities->is_array()) {
        std::vector<orvel::RemoteAction> actions;
        for (const auto& raw : *capabilities) {
            if (!raw.is_string()) continue;
            if (auto action = orvel::remoteActionFromRaw(raw.get_ref<const std::string&>())) {
                actions.push_back(*action);
            }
        }
        orvel::TVSummary::capabilities(actions);
    }
}

const std::array<orvel::NamedEntry, 4> kPaired = {{
    {"sim:living-room", "Living Room"},
    {"sim:kitchen", "Kitchen"},
    {"roku:sim-bedroom", "Bedroom TV"},
    {"x",
     "\xC3\x89"
     "cran"},
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto object = orvel::ControlMessage::parseObject(bytes);
    if (!object) return 0;
    if (!object->is_object()) __builtin_trap();

    // As a request: the target and the app are resolved by name.
    orvel::TVLookup::resolve(text(*object, "tv"), kPaired);
    orvel::TVLookup::resolve(text(*object, "app"), kPaired);
    if (auto action = object->find("action"); action != object->end() && action->is_string()) {
        orvel::remoteActionFromRaw(action->get_ref<const std::string&>());
    }

    // As a reply or watch line.
    orvel::ControlMessage::isSuccess(*object);
    orvel::ControlMessage::errorText(*object);
    summary(object->value("tv", json()));
    if (auto tvs = object->find("tvs"); tvs != object->end() && tvs->is_array()) {
        for (const auto& tv : *tvs) summary(tv);
    }

    // Whatever was read can be written again, and reads back the same.
    auto line = orvel::ControlMessage::serializeLine(*object);
    if (!line) __builtin_trap();
    auto again = orvel::ControlMessage::parseObject(*line);
    if (!again || *again != *object) __builtin_trap();
    return 0;
}
