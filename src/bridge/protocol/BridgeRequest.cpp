#include "bridge/protocol/BridgeRequest.hpp"

#include <array>
#include <cmath>
#include <vector>

namespace orvel {

namespace {

using nlohmann::json;

enum class Kind { text, number, credentials };

struct FieldRule {
    const char* name;
    Kind kind;
    bool required;
};

struct OpRule {
    BridgeOp op;
    std::vector<FieldRule> fields;
};

const std::vector<OpRule>& opRules() {
    static const std::vector<OpRule> rules = {
        {BridgeOp::scan, {}},
        {BridgeOp::connect,
         {{"device", Kind::text, true}, {"credentials", Kind::credentials, false}}},
        {BridgeOp::disconnect, {{"device", Kind::text, false}}},
        {BridgeOp::pairBegin, {{"device", Kind::text, true}, {"protocol", Kind::text, true}}},
        {BridgeOp::pairFinish, {{"pin", Kind::text, true}}},
        {BridgeOp::pairCancel, {}},
        {BridgeOp::watch,
         {{"device", Kind::text, true}, {"credentials", Kind::credentials, false}}},
        {BridgeOp::command,
         {{"action", Kind::text, true},
          {"device", Kind::text, false},
          {"credentials", Kind::credentials, false},
          {"text", Kind::text, false},
          {"volume", Kind::number, false},
          {"app", Kind::text, false}}},
        {BridgeOp::apps,
         {{"device", Kind::text, false}, {"credentials", Kind::credentials, false}}},
    };
    return rules;
}

// Checks one field's type; returns the error sentence or empty.
std::string checkKind(const FieldRule& rule, const json& value) {
    const std::string quoted = std::string("The \"") + rule.name + "\" field ";
    switch (rule.kind) {
        case Kind::text:
            if (!value.is_string()) return quoted + "must be text.";
            break;
        case Kind::number:
            if (!value.is_number()) return quoted + "must be a number.";
            break;
        case Kind::credentials:
            if (!value.is_object()) {
                return quoted + "must be an object whose values are texts.";
            }
            for (const auto& item : value.items()) {
                if (!item.value().is_string()) {
                    return quoted + "must be an object whose values are texts.";
                }
            }
            break;
    }
    return {};
}

void store(BridgeRequest& request, const std::string& name, const json& value) {
    if (name == "device") request.device = value.get<std::string>();
    if (name == "protocol") request.protocol = value.get<std::string>();
    if (name == "pin") request.pin = value.get<std::string>();
    if (name == "text") request.text = value.get<std::string>();
    if (name == "app") request.app = value.get<std::string>();
    if (name == "volume") request.volume = value.get<double>();
    if (name == "credentials") request.credentials = value.get<Credentials>();
}

// Reads "action" and checks for the payload the action cannot do without.
std::string checkCommand(const json& object, BridgeRequest& request) {
    const auto name = object["action"].get<std::string>();
    const auto action = remoteActionFromRaw(name);
    if (!action) return "The action \"" + name + "\" is not known.";
    request.action = *action;
    struct Need {
        RemoteAction action;
        const char* field;
        bool present;
    };
    const std::array<Need, 3> needs = {{
        {RemoteAction::text, "text", request.text.has_value()},
        {RemoteAction::setVolume, "volume", request.volume.has_value()},
        {RemoteAction::launchApp, "app", request.app.has_value()},
    }};
    for (const auto& need : needs) {
        if (request.action == need.action && !need.present) {
            return "The \"" + name + "\" action needs the \"" + need.field + "\" field.";
        }
    }
    if (request.volume && !(*request.volume >= 0 && *request.volume <= 100)) {
        return "The \"volume\" field must be a number from 0 to 100.";
    }
    return {};
}

}  // namespace

std::variant<BridgeRequest, std::string> BridgeRequest::parse(const json& object) {
    if (!object.is_object()) return std::string("A request must be a JSON object.");
    const auto opField = object.find("op");
    if (opField == object.end() || !opField->is_string()) {
        return std::string("The request has no \"op\" text.");
    }
    const auto opName = opField->get<std::string>();
    const auto op = bridgeOpNamed(opName);
    if (!op) return "The operation \"" + opName + "\" is not known.";

    BridgeRequest request;
    request.op = *op;
    for (const auto& rule : opRules()) {
        if (rule.op != *op) continue;
        for (const auto& field : rule.fields) {
            const auto value = object.find(field.name);
            if (value == object.end() || value->is_null()) {
                if (field.required) {
                    return "A \"" + opName + "\" request needs the \"" + field.name + "\" field.";
                }
                continue;
            }
            if (auto error = checkKind(field, *value); !error.empty()) return error;
            store(request, field.name, *value);
        }
    }
    if (*op == BridgeOp::command) {
        if (auto error = checkCommand(object, request); !error.empty()) return error;
    }
    return request;
}

CommandArgs BridgeRequest::commandArgs() const {
    return CommandArgs{action, device, credentials, text, volume, app};
}

}  // namespace orvel
