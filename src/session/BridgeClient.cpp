#include "session/BridgeClient.hpp"

namespace orvel {

namespace {

ProcessBridgeClient::ConfigurationSource configurationFrom(BridgeClient::InputsSource inputs) {
    return [inputs = std::move(
                inputs)]() -> std::variant<ProcessBridgeClient::Configuration, std::string> {
        auto found = BridgeLocation::locate(inputs ? inputs() : BridgeLocation::Inputs{});
        if (auto* message = std::get_if<std::string>(&found)) return *message;
        auto& command = std::get<BridgeLocation::Command>(found);
        return ProcessBridgeClient::Configuration{std::move(command.executable),
                                                  std::move(command.arguments)};
    };
}

}  // namespace

BridgeClient::BridgeClient(MainLoop& loop, InputsSource inputs)
    : client_(loop, configurationFrom(std::move(inputs))) {}

void BridgeClient::setOnEvent(EventHandler handler) {
    client_.setOnEvent(std::move(handler));
}

void BridgeClient::setOnFailure(FailureHandler handler) {
    client_.setOnFailure(std::move(handler));
}

std::optional<std::string> BridgeClient::start() {
    return client_.start();
}

void BridgeClient::stop() {
    client_.stop();
}

void BridgeClient::request(const std::string& op, const nlohmann::json& fields, double timeout,
                           Completion completion) {
    if (!completion) completion = [](const nlohmann::json&) {};
    client_.request(op, fields, timeout, std::move(completion));
}

}  // namespace orvel
