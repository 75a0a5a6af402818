#pragma once
// RokuTexts: the sentences the Roku backend answers with. Users read them as they stand.

#include <string>

#include "bridge/http/HttpTransport.hpp"
#include "bridge/protocol/BackendTexts.hpp"

namespace orvel::RokuTexts {

inline constexpr const char* kLimitedMode =
    "This Roku blocks remote apps. On the TV, open Settings → System → Advanced system settings "
    "→ Control by mobile apps → Network access, and choose Default.";
using BackendTexts::didNotAnswer;
using BackendTexts::kNoPairing;
using BackendTexts::kNotConnected;
using BackendTexts::notFound;
using BackendTexts::unsupported;

// Only for a Roku backend used on its own: combined with the Apple TVs', it never sees another.
inline constexpr const char* kNotARoku =
    "That TV is not a Roku TV, which is all this part of the TV helper reaches.";

inline std::string stoppedAnswering(const std::string& name) {
    return name + " stopped answering on the network.";
}
inline std::string notWoken(const std::string& name) {
    return name + " did not wake up in time. Check that it is plugged in and on this network.";
}
inline std::string refused(const std::string& name, int status) {
    return name + " refused the request (HTTP status " + std::to_string(status) + ").";
}
inline std::string unreadable(const std::string& name) {
    return name + " gave an answer that could not be read.";
}
inline std::string movedAway(const std::string& name, const std::string& hostPort) {
    return name + " is no longer at " + hostPort + ": another Roku answers there.";
}

// 401 and 403 are how a Roku in limited mode refuses remote apps.
inline bool isLimited(const HttpResponse& response) {
    return response.answered() && (response.status == 401 || response.status == 403);
}

// The sentence for a request that did not go through: unanswered, limited or refused.
inline std::string failure(const HttpResponse& response, const std::string& name) {
    if (!response.answered()) return didNotAnswer(name);
    if (isLimited(response)) return kLimitedMode;
    return refused(name, response.status);
}

}  // namespace orvel::RokuTexts
