#include "session/SessionContext.hpp"

#include "core/JsonFields.hpp"

namespace orvel {

Result<void> SessionContext::startBridge() {
    // Requests that were already on their way when the app began to quit must not bring the
    // bridge back.
    if (shutDown) return Failure{kBridgeNotRunning};
    if (auto error = bridge.start()) return Failure{*error};
    return {};
}

bool SessionContext::failure(const nlohmann::json& reply) {
    auto error = textField(reply, "error");
    if (!error) return false;
    state.error = *error;
    changed();
    return true;
}

void SessionContext::requestIgnoringReply(const std::string& op, const nlohmann::json& fields) {
    bridge.request(op, fields, kRequestTimeout, {});
}

}  // namespace orvel
