#pragma once
// RokuBackend: real Roku TVs over their External Control Protocol (HTTP on port 8060). It finds
// them through its RokuDiscovery (SSDP, or the fixed list of ORVEL_ROKU_HOSTS), remembers the
// last address of every TV it met for its own life, follows the connected and watched TVs
// (RokuTV) and turns commands into keypresses and launches (RokuCommand). Other identifiers
// belong to the Apple TV backend beside it; alone, it refuses them with a sentence. Rokus need no
// pairing. A "wake" that a TV in deep standby cannot answer goes out as a wake-up packet to
// the MAC addresses its device-info gave earlier in this run. Owned by the Dispatcher; loop thread only; every HTTP request goes through the
// transport, so nothing here blocks. Destroying it cancels everything in flight.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "bridge/http/HttpRequests.hpp"
#include "bridge/http/HttpTransport.hpp"
#include "bridge/protocol/Backend.hpp"
#include "bridge/roku/RokuCommand.hpp"
#include "bridge/roku/RokuDiscovery.hpp"
#include "bridge/roku/RokuOptions.hpp"
#include "bridge/roku/RokuTV.hpp"
#include "bridge/roku/RokuXml.hpp"
#include "bridge/roku/WakeOnLan.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class RokuBackend final : public Backend {
public:
    RokuBackend(MainLoop& loop, std::unique_ptr<HttpTransport> transport,
                std::unique_ptr<RokuDiscovery> discovery, RokuOptions options = {},
                WakeOnLan wakeOnLan = {});
    ~RokuBackend() override;
    RokuBackend(const RokuBackend&) = delete;
    RokuBackend& operator=(const RokuBackend&) = delete;

    void setEventSink(EventSink sink) override { sink_ = std::move(sink); }
    void scan(BackendReply reply) override;
    void connect(const std::string& device, const Credentials& credentials,
                 BackendReply reply) override;
    void disconnect(const std::optional<std::string>& device, BackendReply reply) override;
    void watch(const std::string& device, const Credentials& credentials,
               BackendReply reply) override;
    void command(const CommandArgs& args, BackendReply reply) override;
    void apps(const std::optional<std::string>& device,
              const std::optional<Credentials>& credentials, BackendReply reply) override;
    void pairBegin(const std::string& device, const std::string& protocol,
                   BackendReply reply) override;
    void pairFinish(const std::string& pin, BackendReply reply) override;
    void pairCancel(BackendReply reply) override;
    void releaseConnection() override;
    std::string impliedDevice(BridgeOp op) const override;

private:
    struct Known {
        std::string hostPort;
        RokuDeviceInfo info;
    };
    // The TV `id` as it answers now, or the sentence why it cannot be reached.
    using Located = std::function<void(const Known* tv, const std::string& error)>;
    struct Probed {
        std::vector<std::pair<std::string, RokuDeviceInfo>> found;  // address, answer
        bool limited = false;  // some address refused: a Roku in limited mode
    };
    using ProbeDone = std::function<void(Probed)>;

    void locate(const std::string& id, Located done);
    // Searches for `id`, without asking `tried` again (an address that just failed).
    void discover(const std::string& id, const std::string& tried, bool limited, Located done);
    // Asks every address for its device-info; completes with those that answered as Rokus,
    // in the order of `hostPorts`, after recording them as known.
    void probe(const std::vector<std::string>& hostPorts, ProbeDone done);
    std::string nameOf(const std::string& id) const;
    const RokuTV* followed(const std::string& id) const;
    // Follows `tv` (creating its RokuTV when needed) and replies once it is set up.
    void follow(const std::string& id, bool connect, BackendReply reply);
    void unfollow(const std::string& id, bool connection, bool watch);
    void lose(std::string id, std::string reason);  // copies: the caller is destroyed
    void emit(nlohmann::json event);
    // Runs `work` with the TV a command or app list concerns. `asLastSeen`: a TV that was met
    // in this run is taken as it was then, without asking it again.
    void reach(const std::optional<std::string>& device, bool asLastSeen, BackendReply& reply,
               std::function<void(const RokuTarget& target)> work);
    // Sends the wake-up packet to the TV, when its device-info named a MAC address.
    std::optional<RokuCommand::WakeUp> wakeUp(const RokuTarget& target) const;

    MainLoop& loop_;
    RokuOptions options_;
    WakeOnLan wakeOnLan_;
    std::unique_ptr<HttpTransport> transport_;
    std::unique_ptr<RokuDiscovery> discovery_;
    EventSink sink_;
    std::map<std::string, Known> known_;  // by identifier, for the life of the bridge
    std::map<std::string, std::unique_ptr<RokuTV>> followed_;
    std::string connected_;                     // empty: none
    std::map<std::string, double> keySeconds_;  // time per key as commands saw it, by TV
    std::map<std::uint64_t, std::unique_ptr<RokuCommand>> commands_;
    std::uint64_t nextCommand_ = 0;
    HttpRequests requests_;  // last: cancelled before anything its callbacks use goes away
};

}  // namespace orvel
