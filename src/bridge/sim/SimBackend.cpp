#include "bridge/sim/SimBackend.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace orvel {

namespace {

using nlohmann::json;

json failure(std::string sentence) {
    return {{"error", std::move(sentence)}};
}

std::string notFound(const std::string& device) {
    return "The TV \"" + device + "\" was not found on the network.";
}

const char* const kNotConnected = "No TV is connected. Connect to a TV first.";

}  // namespace

SimBackend::SimBackend(MainLoop& loop, std::vector<SimTVConfig> tvs, std::string commandLog)
    : loop_(loop), commandLog_(std::move(commandLog)) {
    for (auto& config : tvs) tvs_.push_back(std::make_unique<SimTV>(std::move(config)));
}

SimBackend::~SimBackend() = default;

std::string SimBackend::credentialFor(const SimTVConfig& tv, const std::string& protocol) {
    // FNV-1a: stable across runs and builds, unlike std::hash.
    std::uint64_t hash = 14695981039346656037ull;
    for (const auto& part : {tv.id, protocol, tv.pin}) {
        for (unsigned char c : part) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        hash = (hash ^ 0xffu) * 1099511628211ull;
    }
    char hex[17];
    static_cast<void>(
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash)));
    return "sim1-" + protocol + "-" + hex;
}

SimTV* SimBackend::find(const std::string& id) {
    for (const auto& tv : tvs_) {
        if (tv->id() == id) return tv.get();
    }
    return nullptr;
}

bool SimBackend::isFollowed(const std::string& id) const {
    return id == connected_ || watched_.count(id) != 0;
}

std::string SimBackend::checkCredentials(const SimTV& tv, const Credentials& credentials) const {
    const auto& config = tv.config();
    if (config.protocols.empty()) return {};
    if (credentials.empty()) return tv.name() + " is not paired. Pair it first.";
    for (const auto& protocol : config.protocols) {
        auto given = credentials.find(protocol);
        if (given == credentials.end()) {
            return tv.name() + " is not paired for " + protocol + ". Pair it again.";
        }
        if (given->second != credentialFor(config, protocol)) {
            return tv.name() + " did not accept the " + protocol + " credentials. Pair it again.";
        }
    }
    return {};
}

SimTV* SimBackend::reach(const std::optional<std::string>& device,
                         const std::optional<Credentials>& credentials, std::string& error) {
    if (!device) {
        if (connected_.empty()) {
            error = kNotConnected;
            return nullptr;
        }
        return find(connected_);
    }
    SimTV* tv = find(*device);
    if (!tv) {
        error = notFound(*device);
        return nullptr;
    }
    if (isFollowed(*device)) return tv;
    error = checkCredentials(*tv, credentials.value_or(Credentials{}));
    return error.empty() ? tv : nullptr;
}

void SimBackend::emit(json event) {
    if (sink_) sink_(std::move(event));
}

void SimBackend::emitState(SimTV& tv) {
    if (isFollowed(tv.id())) emit(tv.state(loop_.now()));
}

void SimBackend::scheduleEnd(SimTV& tv) {
    const auto left = tv.secondsLeft(loop_.now());
    if (!left) {
        endTimers_.erase(tv.id());
        return;
    }
    // The handle is a member: the timer cannot outlive this backend.
    endTimers_[tv.id()] = loop_.postAfter(*left, [this, id = tv.id()] {
        SimTV* ended = find(id);
        if (!ended) return;
        if (ended->finishIfEnded(loop_.now())) emitState(*ended);
        scheduleEnd(*ended);
    });
}

void SimBackend::scan(BackendReply reply) {
    json devices = json::array();
    for (const auto& tv : tvs_) {
        devices.push_back(
            {{"id", tv->id()}, {"name", tv->name()}, {"protocols", tv->config().protocols}});
    }
    reply({{"devices", std::move(devices)}});
}

void SimBackend::connect(const std::string& device, const Credentials& credentials,
                         BackendReply reply) {
    SimTV* tv = find(device);
    if (!tv) return reply(failure(notFound(device)));
    if (auto error = checkCredentials(*tv, credentials); !error.empty()) {
        return reply(failure(std::move(error)));
    }
    const std::string previous = std::exchange(connected_, device);
    // The application would otherwise keep the old TV's status as connected forever.
    if (!previous.empty() && previous != device && watched_.count(previous) == 0) {
        emit({{"event", "disconnected"}, {"device", previous}});
    }
    reply(json::object());
    emitState(*tv);
}

void SimBackend::disconnect(const std::optional<std::string>& device, BackendReply reply) {
    if (!device) {
        connected_.clear();
        watched_.clear();
    } else {
        if (connected_ == *device) connected_.clear();
        watched_.erase(*device);
    }
    reply(json::object());
}

void SimBackend::watch(const std::string& device, const Credentials& credentials,
                       BackendReply reply) {
    SimTV* tv = find(device);
    if (!tv) return reply(failure(notFound(device)));
    if (auto error = checkCredentials(*tv, credentials); !error.empty()) {
        return reply(failure(std::move(error)));
    }
    watched_.insert(device);
    reply(json::object());
    emitState(*tv);
}

void SimBackend::command(const CommandArgs& args, BackendReply reply) {
    std::string error;
    SimTV* tv = reach(args.device, args.credentials, error);
    if (!tv) return reply(failure(std::move(error)));

    const double now = loop_.now();
    const json before = tv->state(now);
    const std::string typedBefore = tv->typedText();
    error = tv->perform(args, now);
    if (error.empty()) noteCommand(*tv, args);
    scheduleEnd(*tv);
    reply(error.empty() ? json::object() : failure(std::move(error)));
    if (tv->state(now) != before || tv->typedText() != typedBefore) emitState(*tv);
}

void SimBackend::noteCommand(const SimTV& tv, const CommandArgs& args) const {
    if (commandLog_.empty()) return;
    json line = {{"device", tv.id()}, {"action", std::string(rawValue(args.action))}};
    if (args.text) line["text"] = *args.text;
    if (args.volume) line["volume"] = *args.volume;
    if (args.app) line["app"] = *args.app;
    // "e": close on exec; one short line per write, so concurrent readers see whole lines.
    std::FILE* file = std::fopen(commandLog_.c_str(), "ae");
    if (file == nullptr) return;
    static_cast<void>(std::fprintf(file, "%s\n", line.dump().c_str()));
    static_cast<void>(std::fclose(file));
}

void SimBackend::apps(const std::optional<std::string>& device,
                      const std::optional<Credentials>& credentials, BackendReply reply) {
    std::string error;
    SimTV* tv = reach(device, credentials, error);
    if (!tv) return reply(failure(std::move(error)));
    json list = json::array();
    for (const auto& app : tv->config().apps) list.push_back({{"id", app.id}, {"name", app.name}});
    reply({{"apps", std::move(list)}});
}

void SimBackend::pairBegin(const std::string& device, const std::string& protocol,
                           BackendReply reply) {
    SimTV* tv = find(device);
    if (!tv) return reply(failure(notFound(device)));
    const auto& protocols = tv->config().protocols;
    if (protocols.empty()) return reply(failure(tv->name() + " does not need pairing."));
    if (std::find(protocols.begin(), protocols.end(), protocol) == protocols.end()) {
        return reply(failure(tv->name() + " cannot pair over \"" + protocol + "\"."));
    }
    // A new pairing replaces any other, as on a real TV that shows a fresh PIN.
    pairing_ = Pairing{device, protocol};
    reply(json::object());
}

void SimBackend::pairFinish(const std::string& pin, BackendReply reply) {
    if (!pairing_) return reply(failure("No pairing is in progress. Start pairing again."));
    const Pairing pairing = *std::exchange(pairing_, std::nullopt);
    const SimTV* tv = find(pairing.device);
    if (pin != tv->config().pin) {
        return reply(failure("The PIN does not match the one shown on " + tv->name() +
                             ". Start pairing again."));
    }
    reply({{"protocol", pairing.protocol},
           {"credentials", credentialFor(tv->config(), pairing.protocol)}});
}

void SimBackend::pairCancel(BackendReply reply) {
    pairing_.reset();
    reply(json::object());
}

std::string SimBackend::impliedDevice(BridgeOp op) const {
    switch (op) {
        case BridgeOp::command:
        case BridgeOp::apps:
            return connected_;
        case BridgeOp::pairFinish:
        case BridgeOp::pairCancel:
            return pairing_ ? pairing_->device : std::string();
        default:
            return {};
    }
}

}  // namespace orvel
