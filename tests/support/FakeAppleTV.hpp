#pragma once
// FakeAppleTV: an Apple TV's Companion port on 127.0.0.1 (a port the kernel picks), served on
// the test's PollLoop. It pairs with a fixed PIN, verifies the clients it paired, then answers
// encrypted like the TV: start-up, keys, attention, apps, one text field and the media
// requests its flags allow. Free of GoogleTest; loop thread only.
//
//   FakeAppleTV tv(loop, {.pin = "1234"});
//   CompanionConnection connection(loop, "127.0.0.1", tv.port(), identity, hooks);

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/companion/OpackValue.hpp"
#include "bridge/companion/PairedController.hpp"
#include "bridge/crypto/Ed25519.hpp"
#include "platform/PollLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel::test {

struct FakeAppleTVConfig {
    std::string pin = "1234";
    std::string tvId = "5B1D7E20-0C9A-4F3E-9D61-FA6E0C0A1001";
    int attention = 3;  // FetchAttentionState's "state": 1 asleep, 3 awake
    // Answer FetchAttentionState / TVRCSessionStart with "No request handler", as some
    // systems do.
    bool refuseAttention = false;
    bool refuseRemoteSession = false;
    // Launchable apps in the order the TV lists them: bundle identifier, name.
    std::vector<std::pair<std::string, std::string>> apps = {
        {"com.example.watch-now", "Watch Now"},
        {"tv.example.bear.Channel", "Bear Channel"},
        {"com.example.music", "Music"}};
    // What the focused text field holds; nothing when no field has the focus.
    std::optional<std::string> field = std::nullopt;
    std::int64_t mediaFlags = 0;  // "_mcF": which media commands it takes now
    double volume = 0.5;          // 0 to 1
};

class FakeAppleTV {
public:
    struct Press {
        int code = 0;
        int state = 0;
        bool operator==(const Press&) const = default;
    };

    FakeAppleTV(PollLoop& loop, FakeAppleTVConfig config = {});
    ~FakeAppleTV();
    FakeAppleTV(const FakeAppleTV&) = delete;
    FakeAppleTV& operator=(const FakeAppleTV&) = delete;

    int port() const { return port_; }

    // What the clients did, in order.
    const std::vector<Press>& presses() const { return presses_; }
    const std::vector<std::string>& requests() const { return requests_; }  // "_i" of each
    const std::vector<OpackValue>& events() const { return events_; }       // whole messages
    // The "_x" of every request and event, in order.
    const std::vector<std::int64_t>& xids() const { return xids_; }
    // The "_x" of each answer to a request of ours.
    const std::vector<std::int64_t>& answers() const { return answers_; }
    const std::vector<PairedController>& paired() const { return paired_; }
    int pinsShown() const { return pinsShown_; }
    // The "_c" of the last request named `name`; null when none came.
    const OpackValue* lastContent(const std::string& name) const;
    // The "_c" of every request named `name`, in order.
    std::vector<OpackValue> contents(const std::string& name) const;
    // "_bundleID" or "_urlS" of every launch, in order.
    const std::vector<std::string>& launched() const { return launched_; }
    const std::optional<std::string>& field() const { return config_.field; }
    double volume() const { return config_.volume; }

    // Every frame that came before encryption started, header and payload as received.
    const std::vector<crypto::Bytes>& plainFrames() const { return plainFrames_; }
    // Called after each thing recorded, so that a test can stop its loop and look.
    void setOnRecord(std::function<void()> onRecord) { onRecord_ = std::move(onRecord); }

    void setAttention(int state) { config_.attention = state; }
    void setField(std::optional<std::string> text) { config_.field = std::move(text); }
    // New flags, pushed as an "_iMC" event to every connection that registered for them.
    void setMediaFlags(std::int64_t flags);
    // A request of the TV's own to every verified connection, with transaction `xid`.
    void ask(const std::string& name, std::int64_t xid);
    // A SystemStatus event with `state` to every verified connection.
    void sendSystemStatus(int state, const std::string& name = "SystemStatus");
    // To every verified connection: `bytes` as they are, unsealed; or a sealed event whose tag
    // is one bit off.
    void sendRaw(const crypto::Bytes& bytes);
    void sendTampered();
    // Closes every connection at once.
    void dropConnections();
    // Reads and ignores everything from now on, answering nothing.
    void goSilent() { silent_ = true; }
    void setSilent(bool silent) { silent_ = silent; }

private:
    struct Connection;

    void accept();
    void serve(Connection& connection);
    void answer(Connection& connection, const OpackValue& message);
    void takeEvent(Connection& connection, const std::string& name, const OpackValue& content);
    // The features past the start-up; false for a request it has no handler for.
    bool answerFeature(const std::string& name, const OpackValue& content,
                       OpackValue::Dictionary& result);
    // "_tiC": a text operation on the field.
    void editField(const OpackValue& content);
    void close(Connection& connection);
    // To every verified connection, or only to those that registered for the media flags.
    void broadcast(const OpackValue& message, bool mediaOnly = false);

    PollLoop& loop_;
    FakeAppleTVConfig config_;
    crypto::Ed25519Keys keys_;
    UniqueFd listener_;
    int port_ = 0;
    CancelHandle acceptWatch_;
    std::vector<std::unique_ptr<Connection>> connections_;
    bool silent_ = false;

    std::vector<Press> presses_;
    std::vector<std::string> requests_;
    std::vector<std::pair<std::string, OpackValue>> contents_;
    std::vector<std::string> launched_;
    std::vector<OpackValue> events_;
    std::vector<std::int64_t> answers_;
    std::vector<std::int64_t> xids_;
    std::vector<crypto::Bytes> plainFrames_;
    std::function<void()> onRecord_;
    std::vector<PairedController> paired_;
    int pinsShown_ = 0;
};

}  // namespace orvel::test
