#include "bridge/protocol/FaultScript.hpp"

#include <array>
#include <string_view>

namespace orvel {

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 8> kKeys = {"op",    "device",  "delay", "times",
                                                   "error", "noReply", "exit",  "garbage"};

bool isWholeNumber(const json& value) {
    return value.is_number_integer();
}

}  // namespace

std::variant<Fault, std::string> FaultScript::parse(const json& object,
                                                    const std::optional<std::string>& device) {
    if (!object.is_object()) return std::string("is not an object");
    for (const auto& item : object.items()) {
        bool known = false;
        for (auto key : kKeys) known = known || key == item.key();
        if (!known) return "has an unknown key \"" + item.key() + "\"";
    }

    Fault fault;
    fault.device = device;
    if (auto op = object.find("op"); op != object.end()) {
        if (!op->is_string() || !bridgeOpNamed(op->get<std::string>())) {
            return std::string("has an \"op\" that is not an operation name");
        }
        fault.op = bridgeOpNamed(op->get<std::string>());
    }
    if (auto named = object.find("device"); named != object.end()) {
        if (device) return std::string("names a \"device\" although it belongs to a TV");
        if (!named->is_string()) return std::string("has a \"device\" that is not text");
        fault.device = named->get<std::string>();
    }
    if (auto delay = object.find("delay"); delay != object.end()) {
        if (!delay->is_number() || delay->get<double>() < 0 || delay->get<double>() > 86400) {
            return std::string("has a \"delay\" that is not a number of seconds from 0 to 86400");
        }
        fault.delay = delay->get<double>();
    }
    if (auto times = object.find("times"); times != object.end()) {
        if (!isWholeNumber(*times) || times->get<long long>() < 1 ||
            times->get<long long>() > 1'000'000) {
            return std::string("has a \"times\" that is not a whole number from 1 to 1000000");
        }
        fault.times = times->get<int>();
    }

    int effects = 0;
    if (auto error = object.find("error"); error != object.end()) {
        if (!error->is_string()) return std::string("has an \"error\" that is not text");
        fault.effect = Fault::Effect::error;
        fault.text = error->get<std::string>();
        ++effects;
    }
    if (auto silent = object.find("noReply"); silent != object.end()) {
        if (*silent != json(true)) return std::string("has a \"noReply\" that is not true");
        fault.effect = Fault::Effect::noReply;
        ++effects;
    }
    if (auto exit = object.find("exit"); exit != object.end()) {
        if (!isWholeNumber(*exit) || exit->get<long long>() < 0 || exit->get<long long>() > 255) {
            return std::string("has an \"exit\" that is not a whole number from 0 to 255");
        }
        fault.effect = Fault::Effect::exit;
        fault.exitStatus = exit->get<int>();
        ++effects;
    }
    if (auto garbage = object.find("garbage"); garbage != object.end()) {
        if (*garbage == json(true)) {
            fault.text = "this line is not JSON";
        } else if (garbage->is_string() &&
                   garbage->get<std::string>().find('\n') == std::string::npos) {
            fault.text = garbage->get<std::string>();
        } else {
            return std::string("has a \"garbage\" that is neither true nor one line of text");
        }
        fault.effect = Fault::Effect::garbage;
        ++effects;
    }
    if (effects > 1) {
        return std::string("has more than one of \"error\", \"noReply\", \"exit\" and \"garbage\"");
    }
    if (effects == 0 && fault.delay == 0) {
        return std::string(
            "does nothing: give a \"delay\" or one of \"error\", \"noReply\", "
            "\"exit\" and \"garbage\"");
    }
    return fault;
}

std::optional<Fault> FaultScript::take(BridgeOp op, const std::string& device) {
    for (auto& fault : faults_) {
        if (fault.op && *fault.op != op) continue;
        if (fault.device && *fault.device != device) continue;
        if (fault.times) {
            if (*fault.times == 0) continue;
            --*fault.times;
        }
        return fault;
    }
    return std::nullopt;
}

}  // namespace orvel
