#pragma once
// AppleTVBackend: real Apple TVs over their Companion protocol. It finds them through its
// AppleTVDiscovery (DNS-SD, or the fixed list of ORVEL_APPLETV_HOSTS), pairs them with the PIN
// they show, and keeps one verified CompanionConnection for each TV that is connected or
// watched; a command for any other TV opens one for as long as the command takes. Keys go as
// button presses, media actions as media-control requests while the TV's flags allow them
// (its "state" follows the flags, with the volume when the TV reports one), typing through the
// TV's text-input session, apps through its launch requests. Owned by the
// CombinedBackend; loop thread only. Destroying it closes every connection and search without
// a reply.
//
// Identifiers: "appletv:" and the TV's MediaRemote route ID from its TXT record, which stays
// with the TV across addresses and restarts; a TV listed by address (no TXT record) is
// "appletv:" and that address.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/appletv/AppleTVDiscovery.hpp"
#include "bridge/appletv/CompanionConnection.hpp"
#include "bridge/protocol/Backend.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

class AppleTVBackend final : public Backend {
public:
    // `stateFolder`: where the client identifier is kept (CompanionClientId), read when the
    // first connection needs it.
    AppleTVBackend(PollLoop& loop, std::unique_ptr<AppleTVDiscovery> discovery,
                   std::optional<std::string> stateFolder, CompanionOptions options = {});
    ~AppleTVBackend() override;
    AppleTVBackend(const AppleTVBackend&) = delete;
    AppleTVBackend& operator=(const AppleTVBackend&) = delete;

    static std::string identifierOf(const FoundAppleTV& tv);

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
    // Where a TV is, or the sentence why it cannot be found.
    using Located = std::function<void(const FoundAppleTV* tv, const std::string& error)>;
    // A verified TV ready for use, or the sentence why not.
    using Opened = std::function<void(const std::string& error)>;

    struct TV {
        std::uint64_t serial = 0;  // tells a replaced entry's late callbacks apart
        std::string address;
        std::unique_ptr<CompanionConnection> connection;
        bool up = false;
        bool connected = false;
        bool watched = false;
        int commands = 0;  // in flight; a TV neither connected nor watched closes after the last
        std::vector<Opened> waiting;
        double since = 0;  // when opening began, a retry included
        CancelHandle deadline;
        std::optional<std::int64_t> mediaFlags;  // none until the TV has told them
        std::optional<int> volume;               // 0 to 100, while the flags allow it

        // The flags give the TV an absolute volume.
        bool takesVolume() const;
    };
    // A job on a verified TV; it ends by calling `finish` with the reply.
    using Work = std::function<void(TV& tv, const BackendReply& finish)>;
    struct Pairing {
        std::uint64_t serial = 0;
        std::string id;
        std::string name;
        std::unique_ptr<CompanionConnection> connection;
        bool shown = false;  // the TV shows its PIN
    };

    std::string nameOf(const std::string& id) const;
    // The entry of `id` a late callback was made for; end() once it was replaced or removed.
    std::map<std::string, TV>::iterator current(const std::string& id, std::uint64_t serial);
    void locate(const std::string& id, bool fresh, Located done);
    std::unique_ptr<CompanionConnection> connectionTo(const FoundAppleTV& tv,
                                                      CompanionConnection::Hooks hooks);
    // Verifies `id` with its credential unless a connection is up already. `fresh`: search for
    // the TV even when its address is known.
    void open(const std::string& id, const std::optional<Credentials>& credentials, Opened done,
              bool fresh = false, std::optional<double> since = std::nullopt);
    void verified(const std::string& id, std::uint64_t serial, const CompanionResult<>& result,
                  bool fresh, const std::string& credential);
    void fail(std::map<std::string, TV>::iterator tv, const std::string& sentence);
    void follow(const std::string& id, bool connect, const Credentials& credentials,
                BackendReply reply);
    void unfollow(const std::string& id, bool connection, bool watch);
    void closeIfIdle(const std::string& id);
    void lose(const std::string& id, std::uint64_t serial, const std::string& reason);
    void announce(const std::string& id);
    // Opens `id` for as long as `work` takes (a TV neither connected nor watched is verified
    // with `credentials` for it alone), or replies with the sentence why it cannot.
    void withTV(const std::string& id, const std::optional<Credentials>& credentials,
                BackendReply reply, Work work);
    void perform(TV& tv, const std::string& id, const CommandArgs& args,
                 const BackendReply& finish);
    void pressKey(TV& tv, const std::string& id, RemoteAction action, const BackendReply& finish);
    void mediaCommand(TV& tv, const std::string& id, const CommandArgs& args,
                      const BackendReply& finish);
    void type(TV& tv, const std::string& id, const std::string& text, const BackendReply& finish);
    void launch(TV& tv, const std::string& id, const std::string& app, const BackendReply& finish);
    void takeMediaFlags(const std::string& id, std::uint64_t serial, std::int64_t flags);
    void fetchVolume(const std::string& id);
    void emit(nlohmann::json event);
    // A search of the discovery, held until it completes or the backend goes.
    void search(AppleTVsFound done);

    PollLoop& loop_;
    std::unique_ptr<AppleTVDiscovery> discovery_;
    CompanionOptions options_;
    std::optional<std::string> stateFolder_;
    std::optional<CompanionIdentity> identity_;
    EventSink sink_;
    std::map<std::string, FoundAppleTV> known_;  // by identifier, for the life of the bridge
    std::map<std::string, TV> tvs_;
    std::string connected_;
    std::optional<Pairing> pairing_;
    std::uint64_t nextSerial_ = 1;
    std::map<std::uint64_t, CancelHandle> searches_;
    std::uint64_t nextSearch_ = 0;
};

}  // namespace orvel
