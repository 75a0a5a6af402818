#include "bridge/appletv/AppleTVBackend.hpp"

#include <utility>

#include "bridge/appletv/AppleTVActions.hpp"
#include "bridge/appletv/CompanionClientId.hpp"
#include "bridge/appletv/CompanionMedia.hpp"
#include "bridge/appletv/CompanionTexts.hpp"
#include "bridge/companion/CompanionCredential.hpp"
#include "core/JoinText.hpp"

namespace orvel {

namespace {

using nlohmann::json;

constexpr const char* kCompanion = "Companion";
constexpr const char* kIdPrefix = "appletv:";

}  // namespace

AppleTVBackend::AppleTVBackend(PollLoop& loop, std::unique_ptr<AppleTVDiscovery> discovery,
                               std::optional<std::string> stateFolder, CompanionOptions options)
    : loop_(loop),
      discovery_(std::move(discovery)),
      options_(options),
      stateFolder_(std::move(stateFolder)) {}

AppleTVBackend::~AppleTVBackend() {
    // Connections and searches first: their callbacks use what follows.
    pairing_.reset();
    tvs_.clear();
    searches_.clear();
}

std::string AppleTVBackend::identifierOf(const FoundAppleTV& tv) {
    if (auto route = tv.txt.find("rpmrtid"); route != tv.txt.end() && !route->second.empty()) {
        return kIdPrefix + route->second;
    }
    return joinText({kIdPrefix, tv.address, ":", std::to_string(tv.port)});
}

std::string AppleTVBackend::nameOf(const std::string& id) const {
    auto it = known_.find(id);
    if (it == known_.end()) return joinText({"The Apple TV \"", id, "\""});
    if (!it->second.name.empty()) return it->second.name;
    return joinText({"The Apple TV at ", it->second.address, ":", std::to_string(it->second.port)});
}

void AppleTVBackend::emit(json event) {
    if (sink_) sink_(std::move(event));
}

void AppleTVBackend::search(AppleTVsFound done) {
    const auto key = nextSearch_++;
    // this: searches_ cancels the search before the backend goes.
    searches_[key] = discovery_->search([this, key, done = std::move(done)](AppleTVScan scan) {
        auto finish = done;  // the closure goes with its handle
        searches_[key].detach();
        searches_.erase(key);
        for (const auto& tv : scan.tvs) known_[identifierOf(tv)] = tv;
        finish(std::move(scan));
    });
}

void AppleTVBackend::scan(BackendReply reply) {
    search([this, reply = std::move(reply)](const AppleTVScan& scan) {
        json devices = json::array();
        for (const auto& tv : scan.tvs) {
            const std::string id = identifierOf(tv);
            devices.push_back({{"id", id}, {"name", nameOf(id)}, {"protocols", {kCompanion}}});
        }
        json result{{"devices", std::move(devices)}};
        if (scan.notice) result["notice"] = *scan.notice;
        reply(std::move(result));
    });
}

void AppleTVBackend::locate(const std::string& id, bool fresh, Located done) {
    if (auto known = known_.find(id); !fresh && known != known_.end()) {
        return done(&known->second, {});
    }
    // this: search() holds the callback only while the backend lives.
    search([this, id, done = std::move(done)](const AppleTVScan&) {
        auto known = known_.find(id);
        if (known == known_.end()) return done(nullptr, CompanionTexts::notFound(nameOf(id)));
        done(&known->second, {});
    });
}

std::unique_ptr<CompanionConnection> AppleTVBackend::connectionTo(
    const FoundAppleTV& tv, CompanionConnection::Hooks hooks) {
    if (!identity_) identity_ = CompanionIdentity{.clientId = loadCompanionClientId(stateFolder_)};
    return std::make_unique<CompanionConnection>(loop_, tv.address, tv.port, *identity_,
                                                 std::move(hooks), options_);
}

void AppleTVBackend::open(const std::string& id, const std::optional<Credentials>& credentials,
                          Opened done, bool fresh, std::optional<double> since) {
    if (auto it = tvs_.find(id); it != tvs_.end()) {
        if (it->second.up) return done({});
        it->second.waiting.push_back(std::move(done));
        return;
    }
    std::optional<std::string> credential;
    if (credentials) {
        if (auto found = credentials->find(kCompanion); found != credentials->end()) {
            credential = found->second;
        }
    }
    if (!credential) return done(CompanionTexts::notPaired(nameOf(id)));
    if (!CompanionCredential::parse(*credential))
        return done(CompanionTexts::pairAgain(nameOf(id)));
    TV& tv = tvs_[id];
    tv.serial = nextSerial_++;
    tv.waiting.push_back(std::move(done));
    tv.since = since.value_or(loop_.now());
    // this: the timer is the entry's, which the backend owns.
    tv.deadline = loop_.postAfter(options_.openLimit - (loop_.now() - tv.since),
                                  [this, id, serial = tv.serial] {
                                      auto it = current(id, serial);
                                      if (it == tvs_.end()) return;
                                      fail(it, CompanionTexts::didNotAnswer(nameOf(id)));
                                  });
    // this: locate() and the connection's callbacks live no longer than the backend.
    locate(
        id, fresh,
        [this, id, serial = tv.serial, credential = *credential, fresh](const FoundAppleTV* found,
                                                                        const std::string& error) {
            auto it = current(id, serial);
            if (it == tvs_.end()) return;
            if (!found) return fail(it, error);
            TV& entry = it->second;
            entry.address = found->address;
            CompanionConnection::Hooks hooks;
            hooks.power = [this, id, serial](CompanionPower) {
                if (current(id, serial) != tvs_.end()) announce(id);
            };
            hooks.event = [this, id, serial](const std::string& name, const OpackValue& content) {
                if (name != "_iMC") return;
                if (auto flags = CompanionMedia::flagsIn(content))
                    takeMediaFlags(id, serial, *flags);
            };
            hooks.closed = [this, id, serial](const std::string& reason) {
                lose(id, serial, reason);
            };
            entry.connection = connectionTo(*found, std::move(hooks));
            entry.connection->verify(
                credential, [this, id, serial, fresh, credential](const CompanionResult<>& result) {
                    verified(id, serial, result, fresh, credential);
                });
        });
}

std::map<std::string, AppleTVBackend::TV>::iterator AppleTVBackend::current(const std::string& id,
                                                                            std::uint64_t serial) {
    auto it = tvs_.find(id);
    return it != tvs_.end() && it->second.serial == serial ? it : tvs_.end();
}

void AppleTVBackend::fail(std::map<std::string, TV>::iterator tv, const std::string& sentence) {
    auto waiting = std::exchange(tv->second.waiting, {});
    tvs_.erase(tv);  // may close the connection from inside its completion: allowed
    for (auto& done : waiting) done(sentence);
}

void AppleTVBackend::verified(const std::string& id, std::uint64_t serial,
                              const CompanionResult<>& result, bool fresh,
                              const std::string& credential) {
    auto it = current(id, serial);
    if (it == tvs_.end()) return;
    TV& tv = it->second;
    if (result) {
        tv.up = true;
        tv.deadline.cancel();
        auto waiting = std::exchange(tv.waiting, {});
        for (auto& done : waiting) done({});
        return;
    }
    const PairingFailure* kind = result.error().pairing ? &*result.error().pairing : nullptr;
    if (!kind && !fresh) {
        // The TV may have come back on another port or address: search once, then try again.
        auto waiting = std::exchange(tv.waiting, {});
        const double since = tv.since;
        tvs_.erase(it);
        const Credentials credentials{{kCompanion, credential}};
        for (auto& done : waiting) open(id, credentials, std::move(done), true, since);
        return;
    }
    fail(it, CompanionTexts::verifyStep(nameOf(id), kind));
}

void AppleTVBackend::announce(const std::string& id) {
    auto it = tvs_.find(id);
    if (it == tvs_.end() || !it->second.up || (!it->second.connected && !it->second.watched)) {
        return;
    }
    const TV& tv = it->second;
    json capabilities = json::array();
    for (RemoteAction action : AppleTVActions::capabilities(tv.mediaFlags)) {
        capabilities.push_back(std::string(rawValue(action)));
    }
    json state{{"event", "state"},
               {"device", id},
               {"address", tv.address},
               {"capabilities", std::move(capabilities)}};
    if (tv.volume) state["volume"] = *tv.volume;
    switch (it->second.connection->power()) {
        case CompanionPower::on:
            state["power"] = "On";
            break;
        case CompanionPower::off:
            state["power"] = "Off";
            break;
        case CompanionPower::unknown:
            break;
    }
    emit(std::move(state));
}

void AppleTVBackend::follow(const std::string& id, bool connect, const Credentials& credentials,
                            BackendReply reply) {
    // this: open() calls back only while the backend lives.
    open(id, credentials, [this, id, connect, reply = std::move(reply)](const std::string& error) {
        auto it = tvs_.find(id);
        if (!error.empty() || it == tvs_.end()) {
            return reply(
                failureReply(error.empty() ? CompanionTexts::didNotAnswer(nameOf(id)) : error));
        }
        if (connect) {
            const std::string previous = std::exchange(connected_, id);
            if (!previous.empty() && previous != id) unfollow(previous, true, false);
            it->second.connected = true;
        } else {
            it->second.watched = true;
        }
        reply(json::object());
        announce(id);
    });
}

void AppleTVBackend::connect(const std::string& device, const Credentials& credentials,
                             BackendReply reply) {
    follow(device, true, credentials, std::move(reply));
}

void AppleTVBackend::watch(const std::string& device, const Credentials& credentials,
                           BackendReply reply) {
    follow(device, false, credentials, std::move(reply));
}

void AppleTVBackend::unfollow(const std::string& id, bool connection, bool watch) {
    auto it = tvs_.find(id);
    if (it == tvs_.end()) return;
    TV& tv = it->second;
    if (connection && tv.connected) {
        tv.connected = false;
        if (!tv.watched) emit({{"event", "disconnected"}, {"device", id}});
    }
    if (watch) tv.watched = false;
    if (connection && connected_ == id) connected_.clear();
    closeIfIdle(id);
}

void AppleTVBackend::closeIfIdle(const std::string& id) {
    auto it = tvs_.find(id);
    if (it == tvs_.end()) return;
    const TV& tv = it->second;
    if (tv.up && !tv.connected && !tv.watched && tv.commands == 0) tvs_.erase(it);
}

void AppleTVBackend::lose(const std::string& id, std::uint64_t serial, const std::string& reason) {
    auto it = current(id, serial);
    if (it == tvs_.end()) return;
    const bool followed = it->second.connected || it->second.watched;
    tvs_.erase(it);  // from inside the connection's closed hook: allowed
    if (connected_ == id) connected_.clear();
    if (followed) emit({{"event", "disconnected"}, {"device", id}, {"reason", reason}});
}

void AppleTVBackend::releaseConnection() {
    if (!connected_.empty()) unfollow(connected_, true, false);
}

void AppleTVBackend::disconnect(const std::optional<std::string>& device, BackendReply reply) {
    if (!device) {
        tvs_.clear();
        connected_.clear();
    } else {
        if (connected_ == *device) connected_.clear();
        tvs_.erase(*device);
    }
    reply(json::object());
}

void AppleTVBackend::pairBegin(const std::string& device, const std::string& protocol,
                               BackendReply reply) {
    pairing_.reset();
    if (protocol != kCompanion) {
        return reply(failureReply(joinText({nameOf(device), " pairs over Companion only."})));
    }
    const auto serial = nextSerial_++;
    pairing_ = Pairing{serial, device, nameOf(device), nullptr, false};
    // this: locate() and the connection's callbacks live no longer than the backend.
    locate(device, false,
           [this, serial, reply = std::move(reply)](const FoundAppleTV* found,
                                                    const std::string& error) {
               if (!pairing_ || pairing_->serial != serial)
                   return reply(failureReply("Pairing was cancelled."));
               if (!found) {
                   pairing_.reset();
                   return reply(failureReply(error));
               }
               pairing_->name = nameOf(pairing_->id);
               CompanionConnection::Hooks hooks;
               hooks.closed = [this, serial](const std::string&) {
                   if (pairing_ && pairing_->serial == serial) pairing_.reset();
               };
               pairing_->connection = connectionTo(*found, std::move(hooks));
               pairing_->connection->beginPairing([this, serial,
                                                   reply](const CompanionResult<>& begun) {
                   if (!pairing_ || pairing_->serial != serial) {
                       return reply(failureReply("Pairing was cancelled."));
                   }
                   if (!begun) {
                       const auto& why = begun.error().pairing;
                       const std::string name = pairing_->name;
                       pairing_.reset();
                       return reply(
                           failureReply(CompanionTexts::pairingStep(name, why ? &*why : nullptr)));
                   }
                   pairing_->shown = true;
                   reply(json::object());
               });
           });
}

void AppleTVBackend::pairFinish(const std::string& pin, BackendReply reply) {
    if (!pairing_ || !pairing_->shown) return reply(failureReply(CompanionTexts::kNoPairing));
    pairing_->shown = false;  // one attempt per PIN shown
    const auto serial = pairing_->serial;
    pairing_->connection->finishPairing(pin, [this, serial, reply = std::move(reply)](
                                                 const CompanionResult<std::string>& paired) {
        if (!pairing_ || pairing_->serial != serial) {
            return reply(failureReply("Pairing was cancelled."));
        }
        const std::string name = pairing_->name;
        pairing_.reset();  // from inside the connection's completion: allowed
        if (!paired) {
            const auto& why = paired.error().pairing;
            return reply(failureReply(CompanionTexts::pairingStep(name, why ? &*why : nullptr)));
        }
        reply({{"protocol", kCompanion}, {"credentials", paired.value()}});
    });
}

void AppleTVBackend::pairCancel(BackendReply reply) {
    pairing_.reset();
    reply(json::object());
}

std::string AppleTVBackend::impliedDevice(BridgeOp op) const {
    if (op == BridgeOp::command || op == BridgeOp::apps) return connected_;
    if ((op == BridgeOp::pairFinish || op == BridgeOp::pairCancel) && pairing_) return pairing_->id;
    return {};
}

}  // namespace orvel
