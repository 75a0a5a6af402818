#include "bridge/roku/RokuBackend.hpp"

#include <algorithm>
#include <set>

#include "bridge/net/HostPort.hpp"
#include "bridge/roku/RokuTexts.hpp"
#include "core/TVIdentifier.hpp"

namespace orvel {

namespace {

using nlohmann::json;

bool isRoku(const std::string& id) {
    return TVIdentifier::isRoku(id);
}

std::string rokuID(const RokuDeviceInfo& info) {
    return TVIdentifier::forRoku(info.serialNumber);
}

}  // namespace

RokuBackend::RokuBackend(MainLoop& loop, std::unique_ptr<HttpTransport> transport,
                         std::unique_ptr<RokuDiscovery> discovery, RokuOptions options,
                         WakeOnLan wakeOnLan)
    : loop_(loop),
      options_(options),
      wakeOnLan_(wakeOnLan),
      transport_(std::move(transport)),
      discovery_(std::move(discovery)),
      requests_(*transport_) {}

RokuBackend::~RokuBackend() {
    // Requests first: their callbacks use the TVs and commands below.
    requests_.cancelAll();
    commands_.clear();
    followed_.clear();
}

const RokuTV* RokuBackend::followed(const std::string& id) const {
    auto it = followed_.find(id);
    return it == followed_.end() ? nullptr : it->second.get();
}

std::string RokuBackend::nameOf(const std::string& id) const {
    auto it = known_.find(id);
    return it == known_.end() ? "The TV \"" + id + "\"" : rokuDisplayName(it->second.info);
}

void RokuBackend::emit(json event) {
    if (sink_) sink_(std::move(event));
}

void RokuBackend::probe(const std::vector<std::string>& hostPorts, ProbeDone done) {
    struct Gathering {
        std::vector<std::optional<RokuDeviceInfo>> answers;
        std::size_t outstanding = 0;
        bool limited = false;
        ProbeDone done;
    };
    auto gathering = std::make_shared<Gathering>();
    gathering->answers.resize(hostPorts.size());
    gathering->outstanding = hostPorts.size();
    gathering->done = std::move(done);
    // this: requests_ cancels the callback before the backend goes.
    auto complete = [this, gathering, hostPorts] {
        Probed probed;
        probed.limited = gathering->limited;
        std::set<std::string> seen;
        for (std::size_t i = 0; i < hostPorts.size(); ++i) {
            auto& info = gathering->answers[i];
            if (!info || info->serialNumber.empty()) continue;
            const std::string id = rokuID(*info);
            if (!seen.insert(id).second) continue;  // one TV answering on two addresses
            known_[id] = Known{hostPorts[i], *info};
            probed.found.emplace_back(hostPorts[i], std::move(*info));
        }
        gathering->done(std::move(probed));
    };
    if (hostPorts.empty()) return complete();
    for (std::size_t i = 0; i < hostPorts.size(); ++i) {
        requests_.send(HttpMethod::get, hostPorts[i], "/query/device-info",
                       [gathering, i, complete](const HttpResponse& response) {
                           if (response.ok()) {
                               gathering->answers[i] = readRokuDeviceInfo(response.body);
                           }
                           gathering->limited |= RokuTexts::isLimited(response);
                           if (--gathering->outstanding == 0) complete();
                       });
    }
}

void RokuBackend::locate(const std::string& id, Located done) {
    auto known = known_.find(id);
    if (known == known_.end()) return discover(id, {}, false, std::move(done));
    // The last address first: TVs rarely move, and asking is much faster than a search.
    const std::string last = known->second.hostPort;
    // this: requests_ cancels the callback before the backend goes.
    probe({last}, [this, id, last, done = std::move(done)](Probed probed) mutable {
        if (!probed.found.empty() && rokuID(probed.found.front().second) == id) {
            return done(&known_.at(id), {});
        }
        discover(id, last, probed.limited, std::move(done));
    });
}

void RokuBackend::discover(const std::string& id, const std::string& tried, bool limited,
                           Located done) {
    const auto key = requests_.newKey();
    // this: requests_ cancels the callback before the backend goes.
    requests_.hold(key, discovery_->search([this, key, id, tried, limited, done = std::move(done)](
                                               std::vector<std::string> hostPorts) mutable {
        requests_.release(key);
        std::erase(hostPorts, tried);
        // this: requests_ cancels the callback before the backend goes.
        probe(hostPorts, [this, id, limited, done = std::move(done)](const Probed& probed) {
            for (const auto& [hostPort, info] : probed.found) {
                if (rokuID(info) == id) return done(&known_.at(id), {});
            }
            // A TV that refuses even its device-info cannot be told apart, but its user can
            // still be told what to change.
            done(nullptr, limited || probed.limited ? std::string(RokuTexts::kLimitedMode)
                                                    : RokuTexts::notFound(nameOf(id)));
        });
    }));
}

void RokuBackend::scan(BackendReply reply) {
    const auto key = requests_.newKey();
    // this: requests_ cancels the callback before the backend goes.
    requests_.hold(key, discovery_->search([this, key, reply = std::move(reply)](
                                               const std::vector<std::string>& hostPorts) mutable {
        requests_.release(key);
        probe(hostPorts, [reply = std::move(reply)](const Probed& probed) {
            if (probed.found.empty() && probed.limited) {
                return reply(failureReply(RokuTexts::kLimitedMode));
            }
            json devices = json::array();
            for (const auto& [hostPort, info] : probed.found) {
                devices.push_back({{"id", rokuID(info)},
                                   {"name", rokuDisplayName(info)},
                                   {"protocols", json::array()}});
            }
            reply({{"devices", std::move(devices)}});
        });
    }));
}

void RokuBackend::connect(const std::string& device, const Credentials&, BackendReply reply) {
    if (!isRoku(device)) return reply(failureReply(RokuTexts::kNotARoku));
    follow(device, /*connect=*/true, std::move(reply));
}

void RokuBackend::watch(const std::string& device, const Credentials&, BackendReply reply) {
    if (!isRoku(device)) return reply(failureReply(RokuTexts::kNotARoku));
    follow(device, /*connect=*/false, std::move(reply));
}

void RokuBackend::follow(const std::string& id, bool connect, BackendReply reply) {
    // this: requests_ cancels the callback before the backend goes.
    locate(id, [this, id, connect, reply = std::move(reply)](const Known* tv,
                                                             const std::string& error) {
        if (!tv) return reply(failureReply(error));
        auto& slot = followed_[id];
        if (!slot || slot->hostPort() != tv->hostPort) {
            RokuTV::Hooks hooks;
            // this: the backend owns every RokuTV, so its hooks cannot outlive it.
            hooks.emit = [this](json event) { emit(std::move(event)); };
            hooks.lost = [this, id](const std::string& reason) { lose(id, reason); };
            const bool wasConnected = slot && slot->connected();
            const bool wasWatched = slot && slot->watched();
            slot = std::make_unique<RokuTV>(loop_, *transport_, options_, id, tv->hostPort,
                                            tv->info, std::move(hooks));
            slot->setConnected(wasConnected);
            slot->setWatched(wasWatched);
        }
        RokuTV& followed = *slot;
        if (connect) {
            const std::string previous = std::exchange(connected_, id);
            // Without this the application would show the old TV as connected for ever.
            if (!previous.empty() && previous != id) {
                unfollow(previous, /*connection=*/true, /*watch=*/false);
            }
            followed.setConnected(true);
        } else {
            followed.setWatched(true);
        }
        reply(json::object());
        followed.announce();
    });
}

void RokuBackend::unfollow(const std::string& id, bool connection, bool watch) {
    auto it = followed_.find(id);
    if (it == followed_.end()) return;
    RokuTV& tv = *it->second;
    if (connection && tv.connected()) {
        tv.setConnected(false);
        if (!tv.watched()) emit({{"event", "disconnected"}, {"device", id}});
    }
    if (watch) tv.setWatched(false);
    if (connected_ == id && connection) connected_.clear();
    if (!tv.connected() && !tv.watched()) followed_.erase(it);
}

void RokuBackend::releaseConnection() {
    if (!connected_.empty()) unfollow(connected_, /*connection=*/true, /*watch=*/false);
}

void RokuBackend::lose(std::string id, std::string reason) {
    followed_.erase(id);  // called from inside that RokuTV, which touches nothing after
    if (connected_ == id) connected_.clear();
    emit({{"event", "disconnected"}, {"device", id}, {"reason", reason}});
}

void RokuBackend::disconnect(const std::optional<std::string>& device, BackendReply reply) {
    if (!device) {
        followed_.clear();
        connected_.clear();
    } else if (auto it = followed_.find(*device); it != followed_.end()) {
        if (connected_ == *device) connected_.clear();
        followed_.erase(it);
    }
    reply(json::object());
}

void RokuBackend::reach(const std::optional<std::string>& device, bool asLastSeen,
                        BackendReply& reply, std::function<void(const RokuTarget& target)> work) {
    const std::string id = device.value_or(connected_);
    if (id.empty()) return reply(failureReply(RokuTexts::kNotConnected));
    if (!isRoku(id)) return reply(failureReply(RokuTexts::kNotARoku));
    if (const RokuTV* tv = followed(id)) return work({id, tv->hostPort(), tv->info()});
    if (auto known = known_.find(id); asLastSeen && known != known_.end()) {
        return work({id, known->second.hostPort, known->second.info});
    }
    locate(id, [id, reply, work = std::move(work)](const Known* tv, const std::string& error) {
        if (!tv) return reply(failureReply(error));
        work({id, tv->hostPort, tv->info});
    });
}

void RokuBackend::command(const CommandArgs& args, BackendReply reply) {
    const double arrived = loop_.now();
    // A TV in deep standby answers no search: a wake goes where it was last seen.
    const bool waking = args.action == RemoteAction::wake;
    // this: reach() runs it at once or from a callback requests_ cancels.
    reach(args.device, waking, reply, [this, args, reply, arrived](const RokuTarget& target) {
        const auto key = nextCommand_++;
        const bool power = args.action == RemoteAction::wake || args.action == RemoteAction::sleep;
        const bool typing = args.action == RemoteAction::text;
        // this: commands_ owns the command that calls it.
        auto done = [this, key, id = target.id, reply, power, typing](RokuCommand::Result result) {
            commands_.erase(key);
            // Only typing sets the pace: a launch or a power key may take seconds on its own.
            if (typing && result.keySeconds) {
                // A TV that slowed down is believed at once; one that sped up, by halves: a
                // pace guessed too fast cuts a text half-way, one guessed too slow only refuses.
                auto [pace, fresh] = keySeconds_.try_emplace(id, *result.keySeconds);
                if (!fresh) {
                    pace->second =
                        std::max(*result.keySeconds, (pace->second + *result.keySeconds) / 2);
                }
            }
            reply(std::move(result.reply));
            auto tv = followed_.find(id);
            if (tv == followed_.end()) return;
            if (result.outcome == RokuCommand::Outcome::succeeded) {
                tv->second->commandSucceeded(power);
            }
            if (result.outcome == RokuCommand::Outcome::limited) tv->second->commandLimited();
        };
        // A margin over the pace seen: TVs are not that regular.
        const auto seen = keySeconds_.find(target.id);
        const double pace =
            std::max(options_.keyPace, seen == keySeconds_.end() ? 0.0 : 1.25 * seen->second);
        auto& command = commands_[key];
        command = std::make_unique<RokuCommand>(loop_, *transport_, options_, target, args, pace,
                                                std::move(done));
        if (args.action == RemoteAction::wake) {
            if (auto wake = wakeUp(target)) command->wakeWith(std::move(*wake));
        }
        command->start(arrived);  // may complete and erase itself before returning
    });
}

void RokuBackend::apps(const std::optional<std::string>& device, const std::optional<Credentials>&,
                       BackendReply reply) {
    // this: reach() runs it at once or from a callback requests_ cancels.
    reach(device, false, reply, [this, reply](const RokuTarget& target) {
        // this: requests_ cancels the callback before the backend goes.
        requests_.send(
            HttpMethod::get, target.hostPort, "/query/apps",
            [this, reply, id = target.id,
             name = rokuDisplayName(target.info)](const HttpResponse& response) {
                if (RokuTexts::isLimited(response)) {
                    if (auto tv = followed_.find(id); tv != followed_.end()) {
                        tv->second->commandLimited();
                    }
                }
                auto list = response.ok() ? readRokuApps(response.body) : std::nullopt;
                if (!list) {
                    return reply(failureReply(response.ok() ? RokuTexts::unreadable(name)
                                                            : RokuTexts::failure(response, name)));
                }
                json apps = json::array();
                for (const auto& app : *list) {
                    apps.push_back({{"id", app.id}, {"name", app.name}});
                }
                reply({{"apps", std::move(apps)}});
            });
    });
}

std::optional<RokuCommand::WakeUp> RokuBackend::wakeUp(const RokuTarget& target) const {
    std::vector<WakeOnLan::Mac> macs;
    for (const auto& text : {target.info.wifiMac, target.info.ethernetMac}) {
        if (auto mac = WakeOnLan::parseMac(text)) macs.push_back(*mac);
    }
    if (macs.empty()) return std::nullopt;
    // this: the backend owns every command, and with it this function.
    return [this, ip = HostPort::split(target.hostPort).ip, macs] {
        return wakeOnLan_.send(ip, macs);
    };
}

void RokuBackend::pairBegin(const std::string& device, const std::string&, BackendReply reply) {
    if (!isRoku(device)) return reply(failureReply(RokuTexts::kNotARoku));
    reply(failureReply(nameOf(device) + " does not need pairing."));
}

void RokuBackend::pairFinish(const std::string&, BackendReply reply) {
    reply(failureReply(RokuTexts::kNoPairing));
}

void RokuBackend::pairCancel(BackendReply reply) {
    reply(json::object());
}

std::string RokuBackend::impliedDevice(BridgeOp op) const {
    return op == BridgeOp::command || op == BridgeOp::apps ? connected_ : std::string();
}

}  // namespace orvel
