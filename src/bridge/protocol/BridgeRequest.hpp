#pragma once
// BridgeRequest: one request line, read and checked field by field before any backend sees
// it. Pure value; any thread.
//
//   auto parsed = BridgeRequest::parse(object);
//   if (auto* error = std::get_if<std::string>(&parsed)) reply with *error;

#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "bridge/protocol/Backend.hpp"
#include "bridge/protocol/BridgeOp.hpp"

namespace orvel {

struct BridgeRequest {
    BridgeOp op = BridgeOp::scan;
    std::optional<std::string> device;
    std::optional<Credentials> credentials;
    std::string protocol;                    // pairBegin
    std::string pin;                         // pairFinish
    RemoteAction action = RemoteAction::up;  // command
    std::optional<std::string> text;
    std::optional<double> volume;
    std::optional<std::string> app;

    // Reads a request object (its "id" is the caller's business). A field that is null counts
    // as absent. On failure returns the sentence for the error reply.
    static std::variant<BridgeRequest, std::string> parse(const nlohmann::json& object);

    CommandArgs commandArgs() const;
};

}  // namespace orvel
