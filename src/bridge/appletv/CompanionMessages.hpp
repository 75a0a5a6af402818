#pragma once
// CompanionMessages: the OPACK messages of a Companion session after pair-verify: the envelope
// of requests, responses and events ("_i" name, "_t" kind, "_x" transaction, "_c" content, and
// "_em"/"_ec" on a refusal), and the contents of the start-up messages. Pure; any thread.

#include <cstdint>
#include <optional>
#include <string>

#include "bridge/companion/OpackValue.hpp"

namespace orvel {

// Who we are to the TV; the owner keeps it across runs.
struct CompanionIdentity {
    // "_i" of "_systemInfo": 12 hex digits, random once per installation. The TV names its
    // peers by it: a constant one is refused, and two clients sharing it push each other off.
    std::string clientId;
    std::string name = "Orvel Remote";
    std::string model = "Linux";
};

// 12 random lower-case hex digits, for a new installation's CompanionIdentity::clientId.
std::string newCompanionClientId();

enum class CompanionMessageKind { event = 1, request = 2, response = 3 };

struct CompanionMessage {
    CompanionMessageKind kind = CompanionMessageKind::event;
    std::string name;
    std::optional<std::int64_t> xid;
    OpackValue content;  // an empty dictionary when the message had none
    // A refusal: "_em" and "_ec" as one sentence piece, e.g. "No request handler (58822)".
    std::optional<std::string> error;
};

OpackValue companionEnvelope(CompanionMessageKind kind, const std::string& name,
                             std::optional<std::int64_t> xid, OpackValue content);
// Nothing for a message without a name or kind we know.
std::optional<CompanionMessage> readCompanionMessage(const OpackValue& message);

namespace CompanionStartup {

OpackValue systemInfo(const CompanionIdentity& identity, const std::string& pairingId);
OpackValue sessionStart(std::uint32_t localSessionId);
OpackValue remoteSessionStart();
OpackValue interest(const std::string& event);
OpackValue button(int code, int state);

}  // namespace CompanionStartup

}  // namespace orvel
