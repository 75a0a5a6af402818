#pragma once
// RokuTexts: the sentences the Roku backend answers with. Users read them as they stand.

#include <string>

namespace orvel::RokuTexts {

inline constexpr const char* kLimitedMode =
    "This Roku blocks remote apps. On the TV, open Settings → System → Advanced system settings "
    "→ Control by mobile apps → Network access, and choose Default.";
inline constexpr const char* kNotConnected = "No TV is connected. Connect to a TV first.";
inline constexpr const char* kAppleTVNotBuilt =
    "Apple TV support is not built into this TV helper yet; only Roku TVs can be reached.";
inline constexpr const char* kNoPairing = "No pairing is in progress. Start pairing again.";

inline std::string notFound(const std::string& name) {
    return name + " was not found on the network. Check that it is on and on this network.";
}
inline std::string stoppedAnswering(const std::string& name) {
    return name + " stopped answering on the network.";
}
inline std::string didNotAnswer(const std::string& name) {
    return name + " did not answer on the network. Check that it is on.";
}
inline std::string refused(const std::string& name, int status) {
    return name + " refused the request (HTTP status " + std::to_string(status) + ").";
}
inline std::string unsupported(const std::string& name, const std::string& action) {
    return name + " does not support the \"" + action + "\" action.";
}

}  // namespace orvel::RokuTexts
