#pragma once
// CompanionConnection: one Apple TV over its Companion protocol. Over a CompanionSocket it pairs
// (pair-setup with the PIN the TV shows) or verifies a stored credential (pair-verify), then
// encrypts every frame (SessionCipher) and opens the session the TV's remote features need.
// After that it sends requests and events, matches replies by transaction, passes the TV's
// events on, follows its power, and presses keys. Owned by the Apple TV backend; loop thread
// only.
//
//   CompanionConnection tv(loop, "192.168.1.40", 49153, identity, hooks);
//   tv.verify(stored, [&](CompanionResult<> up) { if (up) tv.press(CompanionKey::home, done); });
//
// A pairing or verification the TV refuses fails its completion only: the connection stays
// open, and pairing may begin again (the TV shows a new PIN).
// It ends once, for any reason (the socket closed, the TV fell silent, a frame that does not
// decrypt or decode): every pending completion fails with the sentence, then the `closed` hook
// gets it. Calls after the end fail with it too. Completions and hooks never run inside the
// call that started them. Destroying the connection closes it without any call back, and is
// safe from inside any of its completions and hooks.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/appletv/CompanionKeys.hpp"
#include "bridge/appletv/CompanionMessages.hpp"
#include "bridge/appletv/CompanionOptions.hpp"
#include "bridge/appletv/CompanionPower.hpp"
#include "bridge/appletv/CompanionResult.hpp"
#include "bridge/appletv/CompanionSocket.hpp"
#include "bridge/companion/CompanionFrame.hpp"
#include "bridge/companion/OpackValue.hpp"
#include "bridge/companion/PairSetupClient.hpp"
#include "bridge/companion/PairVerifyClient.hpp"
#include "bridge/companion/SessionCipher.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

class CompanionConnection {
public:
    using Done = std::function<void(CompanionResult<>)>;
    using CredentialDone = std::function<void(CompanionResult<std::string>)>;
    using ReplyDone = std::function<void(CompanionResult<OpackValue>)>;  // the reply's "_c"

    struct Hooks {
        std::function<void(const std::string& name, const OpackValue& content)> event;
        std::function<void(CompanionPower power)> power;  // on every change
        std::function<void(const std::string& reason)> closed;
    };

    CompanionConnection(PollLoop& loop, const std::string& ip, int port, CompanionIdentity identity,
                        Hooks hooks, CompanionOptions options = {});
    ~CompanionConnection();
    CompanionConnection(const CompanionConnection&) = delete;
    CompanionConnection& operator=(const CompanionConnection&) = delete;

    // Pair-setup M1; completes when the TV answered it, showing its PIN now.
    void beginPairing(Done done);
    // M3 to M6 with the PIN; completes with the CompanionCredential text. One attempt per
    // beginPairing: the TV starts over after a wrong PIN.
    void finishPairing(const std::string& pin, CredentialDone done);
    // Pair-verify with a credential text, then the session start-up; completes once the
    // session is up (the power follows when the TV has told it).
    void verify(const std::string& credential, Done done);

    // Once the session is up. A refusal ("_em"/"_ec") and no reply within `timeout` fail.
    void request(const std::string& name, OpackValue content, double timeout, ReplyDone done);
    void event(const std::string& name, OpackValue content);

    // Keys, each button state awaiting its reply; one key after the other, so that the TV never
    // sees two buttons down at once.
    void press(CompanionKey key, Done done);
    void pressTwice(CompanionKey key, Done done);
    void hold(CompanionKey key, double seconds, Done done);
    void sleep(Done done);
    void wake(Done done);

    bool sessionUp() const { return cipher_ != nullptr && started_; }
    bool ended() const { return ended_.has_value(); }
    CompanionPower power() const { return power_; }

private:
    static CompanionError pairingError(const PairingFailure& failure);
    struct Pending {
        std::string name;
        ReplyDone done;
        CancelHandle timer;
    };
    struct KeyStep {
        int state;
        double pauseBefore;
    };
    using FrameHandler = std::function<void(const OpackValue& message)>;

    void received(std::span<const std::uint8_t> bytes);
    void take(const CompanionFrame& frame);
    void takeMessage(const CompanionMessage& message);
    // Sends a pairing frame and waits for `answer` frames; `handler` gets the "_pd" bytes.
    void sendAuth(FrameType type, const OpackValue& message, FrameType answer,
                  std::function<void(crypto::ByteView pd)> handler);
    void sendSealed(const OpackValue& message);
    void authFailed(const CompanionError& error);
    void finishAuth(CompanionResult<std::string> result);
    void startSession();
    void sessionOpened();
    void sendRequest(const std::string& name, OpackValue content, double timeout, ReplyDone done);
    struct KeyPress {
        int code;
        std::shared_ptr<const std::vector<KeyStep>> steps;
        Done done;
    };
    void keys(CompanionKey key, std::vector<KeyStep> steps, Done done);
    void startKey();
    void nextKey(const KeyPress& press, std::size_t at);
    void finishKey(const KeyPress& press, const CompanionResult<>& result);
    void setPower(CompanionPower power);
    void takeAttention(const OpackValue& content);
    void watchSilence();
    void end(const std::string& reason);
    // Runs `work` from the loop; dropped if the connection is gone by then.
    void later(std::function<void()> work);
    std::int64_t nextXid();
    // The sentence for calls that cannot run now; empty when they can.
    std::string unavailable(bool needSession) const;

    PollLoop& loop_;
    CompanionIdentity identity_;
    Hooks hooks_;
    CompanionOptions options_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    FrameReader reader_;

    // Pairing and verification: one step in flight at most.
    std::optional<FrameType> awaited_;
    std::function<void(crypto::ByteView pd)> authHandler_;
    std::function<void(CompanionResult<std::string>)> authDone_;
    CancelHandle authTimer_;
    std::optional<crypto::Bytes> setupM2_;
    std::optional<PairSetupClient> setup_;
    std::optional<PairVerifyClient> verify_;
    std::string pairingId_;

    // The session.
    std::unique_ptr<SessionCipher> cipher_;
    bool started_ = false;
    std::int64_t xid_ = 0;
    std::map<std::int64_t, Pending> pending_;
    std::deque<KeyPress> keyQueue_;  // waiting for the one in progress to end
    bool keyBusy_ = false;
    std::map<std::uint64_t, std::pair<CancelHandle, Done>> holds_;
    std::uint64_t nextHold_ = 0;
    CompanionPower power_ = CompanionPower::unknown;
    double lastHeard_ = 0;
    CancelHandle silenceTimer_;
    std::optional<std::string> ended_;

    // Last: destroyed first, so that nothing it calls back reaches a member already gone.
    std::unique_ptr<CompanionSocket> socket_;
};

}  // namespace orvel
