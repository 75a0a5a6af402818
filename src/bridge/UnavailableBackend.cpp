#include "bridge/UnavailableBackend.hpp"

namespace orvel {

void UnavailableBackend::refuse(const BackendReply& reply) {
    reply({{"error", kMessage}});
}

void UnavailableBackend::scan(BackendReply reply) {
    reply({{"devices", nlohmann::json::array()}});
}

void UnavailableBackend::connect(const std::string&, const Credentials&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::disconnect(const std::optional<std::string>&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::watch(const std::string&, const Credentials&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::command(const CommandArgs&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::apps(const std::optional<std::string>&, const std::optional<Credentials>&,
                              BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::pairBegin(const std::string&, const std::string&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::pairFinish(const std::string&, BackendReply reply) {
    refuse(reply);
}

void UnavailableBackend::pairCancel(BackendReply reply) {
    refuse(reply);
}

}  // namespace orvel
