#include "bridge/protocol/CombinedBackend.hpp"

#include <utility>

#include "core/TVIdentifier.hpp"

namespace orvel {

using nlohmann::json;

namespace {

// Both families' scan replies, merged in a fixed order once the second arrives.
struct ScanMerge {
    BackendReply reply;
    json parts[2];
    int waiting = 2;

    static std::string text(const json& part, const char* key) {
        const auto found = part.find(key);
        return found != part.end() && found->is_string() ? found->get<std::string>() : "";
    }

    void add(int family, json part) {
        parts[family] = std::move(part);
        if (--waiting > 0) return;
        json devices = json::array();
        std::string notice;
        std::string error;
        int failed = 0;
        for (const json& each : parts) {
            if (const auto found = each.find("devices"); found != each.end() && found->is_array())
                devices.insert(devices.end(), found->begin(), found->end());
            if (notice.empty()) notice = text(each, "notice");
            if (const std::string sentence = text(each, "error"); !sentence.empty()) {
                ++failed;
                if (error.empty()) error = sentence;
            }
        }
        if (failed == 2) return reply({{"error", error}});
        // A family that could not look is said beside what the other found.
        json merged{{"devices", std::move(devices)}};
        if (notice.empty()) notice = error;
        if (!notice.empty()) merged["notice"] = notice;
        reply(std::move(merged));
    }
};

}  // namespace

CombinedBackend::CombinedBackend(std::unique_ptr<Backend> roku, std::unique_ptr<Backend> appleTV)
    : roku_(std::move(roku)), appleTV_(std::move(appleTV)) {}

void CombinedBackend::setEventSink(EventSink sink) {
    roku_->setEventSink(sink);
    appleTV_->setEventSink(std::move(sink));
}

Backend& CombinedBackend::familyOf(const std::string& device) const {
    return TVIdentifier::isRoku(device) ? *roku_ : *appleTV_;
}

Backend& CombinedBackend::current() const {
    return connected_ ? *connected_ : *roku_;
}

void CombinedBackend::scan(BackendReply reply) {
    auto merge = std::make_shared<ScanMerge>();
    merge->reply = std::move(reply);
    roku_->scan([merge](json part) { merge->add(0, std::move(part)); });
    appleTV_->scan([merge](json part) { merge->add(1, std::move(part)); });
}

void CombinedBackend::connect(const std::string& device, const Credentials& credentials,
                              BackendReply reply) {
    Backend& family = familyOf(device);
    // this: the families' replies come from backends this object owns.
    family.connect(device, credentials, [this, &family, reply = std::move(reply)](json result) {
        if (!result.contains("error")) {
            if (connected_ && connected_ != &family) connected_->releaseConnection();
            connected_ = &family;
        }
        reply(std::move(result));
    });
}

void CombinedBackend::disconnect(const std::optional<std::string>& device, BackendReply reply) {
    if (device) return familyOf(*device).disconnect(device, std::move(reply));
    auto shared = std::make_shared<std::pair<BackendReply, int>>(std::move(reply), 2);
    const auto done = [shared](const json&) {
        if (--shared->second == 0) shared->first(json::object());
    };
    roku_->disconnect(std::nullopt, done);
    appleTV_->disconnect(std::nullopt, done);
}

void CombinedBackend::watch(const std::string& device, const Credentials& credentials,
                            BackendReply reply) {
    familyOf(device).watch(device, credentials, std::move(reply));
}

void CombinedBackend::command(const CommandArgs& args, BackendReply reply) {
    (args.device ? familyOf(*args.device) : current()).command(args, std::move(reply));
}

void CombinedBackend::apps(const std::optional<std::string>& device,
                           const std::optional<Credentials>& credentials, BackendReply reply) {
    (device ? familyOf(*device) : current()).apps(device, credentials, std::move(reply));
}

void CombinedBackend::pairBegin(const std::string& device, const std::string& protocol,
                                BackendReply reply) {
    pairing_ = &familyOf(device);
    pairing_->pairBegin(device, protocol, std::move(reply));
}

void CombinedBackend::pairFinish(const std::string& pin, BackendReply reply) {
    (pairing_ ? *pairing_ : *appleTV_).pairFinish(pin, std::move(reply));
}

void CombinedBackend::pairCancel(BackendReply reply) {
    (pairing_ ? *pairing_ : *appleTV_).pairCancel(std::move(reply));
}

void CombinedBackend::releaseConnection() {
    roku_->releaseConnection();
    appleTV_->releaseConnection();
    connected_ = nullptr;
}

std::string CombinedBackend::impliedDevice(BridgeOp op) const {
    if ((op == BridgeOp::pairFinish || op == BridgeOp::pairCancel) && pairing_)
        return pairing_->impliedDevice(op);
    return current().impliedDevice(op);
}

}  // namespace orvel
