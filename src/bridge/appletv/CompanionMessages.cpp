#include "bridge/appletv/CompanionMessages.hpp"

#include <algorithm>
#include <cctype>

#include "bridge/crypto/Bytes.hpp"
#include "core/JoinText.hpp"

namespace orvel {

namespace {

using Dictionary = OpackValue::Dictionary;

// "_pubID" looks like a MAC address; ours is the client identifier written as one, so it is as
// stable and as unique as that.
std::string macLike(const std::string& hex) {
    std::string mac;
    for (std::size_t i = 0; i + 1 < hex.size() && i < 12; i += 2) {
        if (!mac.empty()) mac += ':';
        mac += hex.substr(i, 2);
    }
    std::transform(mac.begin(), mac.end(), mac.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return mac;
}

}  // namespace

std::string newCompanionClientId() {
    return crypto::hexText(crypto::randomBytes(6));
}

OpackValue companionEnvelope(CompanionMessageKind kind, const std::string& name,
                             std::optional<std::int64_t> xid, OpackValue content) {
    Dictionary message{{"_i", name}, {"_t", static_cast<int>(kind)}};
    if (xid) message.emplace_back("_x", *xid);
    message.emplace_back("_c", std::move(content));
    return message;
}

std::optional<CompanionMessage> readCompanionMessage(const OpackValue& message) {
    CompanionMessage read;
    const OpackValue* kind = message.find("_t");
    const auto number = kind ? kind->asInteger() : std::nullopt;
    if (!number || *number < 1 || *number > 3) return std::nullopt;
    read.kind = static_cast<CompanionMessageKind>(*number);
    const OpackValue* name = message.find("_i");
    if (name && name->asString()) read.name = *name->asString();
    if (read.name.empty() && read.kind != CompanionMessageKind::response) return std::nullopt;
    if (const OpackValue* xid = message.find("_x")) read.xid = xid->asInteger();
    const OpackValue* content = message.find("_c");
    read.content = content && content->asDictionary() ? *content : OpackValue(Dictionary{});
    const OpackValue* text = message.find("_em");
    const OpackValue* code = message.find("_ec");
    if (text || code) {
        std::string error = text && text->asString() ? std::string(*text->asString()) : "error";
        if (code && code->asInteger()) {
            error += joinText({" (", std::to_string(*code->asInteger()), ")"});
        }
        read.error = std::move(error);
    }
    return read;
}

namespace CompanionStartup {

OpackValue systemInfo(const CompanionIdentity& identity, const std::string& pairingId) {
    // The flags and versions are those the TV is known to accept from a phone-like remote;
    // what each bit means is not known.
    return Dictionary{
        {"_bf", 0},
        {"_cf", 512},
        {"_clFl", 128},
        {"_i", identity.clientId},
        {"_idsID", OpackValue::Data(crypto::bytesOf(pairingId))},
        {"_pubID", macLike(identity.clientId)},
        {"_sf", 256},
        {"_sv", "170.18"},
        {"model", identity.model},
        {"name", identity.name},
    };
}

OpackValue sessionStart(std::uint32_t localSessionId) {
    return Dictionary{{"_srvT", "com.apple.tvremoteservices"}, {"_sid", localSessionId}};
}

OpackValue remoteSessionStart() {
    return Dictionary{{"ProtocolVersionKey", "1.2"}};
}

OpackValue interest(const std::string& event) {
    return Dictionary{{"_regEvents", OpackValue::Array{event}}};
}

OpackValue button(int code, int state) {
    return Dictionary{{"_hBtS", state}, {"_hidC", code}};
}

}  // namespace CompanionStartup

}  // namespace orvel
