#include "bridge/protocol/RefusingBackend.hpp"

namespace orvel {

void RefusingBackend::refuse(const BackendReply& reply) const {
    reply({{"error", sentence_}});
}

void RefusingBackend::scan(BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::connect(const std::string&, const Credentials&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::disconnect(const std::optional<std::string>&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::watch(const std::string&, const Credentials&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::command(const CommandArgs&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::apps(const std::optional<std::string>&, const std::optional<Credentials>&,
                           BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::pairBegin(const std::string&, const std::string&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::pairFinish(const std::string&, BackendReply reply) {
    refuse(reply);
}

void RefusingBackend::pairCancel(BackendReply reply) {
    refuse(reply);
}

}  // namespace orvel
