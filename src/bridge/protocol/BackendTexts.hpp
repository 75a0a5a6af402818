#pragma once
// BackendTexts: the sentences every family of real TVs answers with alike, so that a Roku and an
// Apple TV say the same thing the same way. Users read them as they stand. Pure; any thread.

#include <string>

namespace orvel::BackendTexts {

inline constexpr const char* kNotConnected = "No TV is connected. Connect to a TV first.";
inline constexpr const char* kNoPairing = "No pairing is in progress. Start pairing again.";

inline std::string notFound(const std::string& name) {
    return name + " was not found on the network. Check that it is on and on this network.";
}
inline std::string didNotAnswer(const std::string& name) {
    return name + " did not answer on the network. Check that it is on.";
}
inline std::string unsupported(const std::string& name, const std::string& action) {
    return name + " does not support the \"" + action + "\" action.";
}

}  // namespace orvel::BackendTexts
