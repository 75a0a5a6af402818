#include "bridge/appletv/CompanionConnection.hpp"

#include <utility>

#include "bridge/appletv/CompanionTexts.hpp"
#include "bridge/companion/CompanionCredential.hpp"
#include "bridge/companion/Opack.hpp"
#include "bridge/companion/Tlv8.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "core/JoinText.hpp"

namespace orvel {

namespace {

using Dictionary = OpackValue::Dictionary;

// Transaction numbers stay below 0x8000: the TV reads them as signed integers, and small
// positive ones are what it is known to match.
constexpr std::int64_t kXidStartBelow = 0x4000;
constexpr std::int64_t kXidLimit = 0x8000;
// The probe's answer refreshes the power too, which the TV does not push in every state.
constexpr const char* kProbe = "FetchAttentionState";

std::uint32_t randomNumber() {
    const crypto::Bytes bytes = crypto::randomBytes(4);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

CompanionConnection::CompanionConnection(PollLoop& loop, const std::string& ip, int port,
                                         CompanionIdentity identity, Hooks hooks,
                                         CompanionOptions options)
    : loop_(loop),
      identity_(std::move(identity)),
      hooks_(std::move(hooks)),
      options_(options),
      xid_(randomNumber() % kXidStartBelow),
      lastHeard_(loop.now()) {
    // this: the socket is ours and never calls back once destroyed.
    socket_ = std::make_unique<CompanionSocket>(
        loop, ip, port, options_.connectTimeout,
        CompanionSocket::Hooks{
            .received = [this](std::span<const std::uint8_t> bytes) { received(bytes); },
            .closed = [this](const std::string& reason) { end(reason); }});
}

CompanionError CompanionConnection::pairingError(const PairingFailure& failure) {
    return CompanionError{CompanionTexts::pairingSentence(failure), failure};
}

CompanionConnection::~CompanionConnection() {
    *alive_ = false;
}

void CompanionConnection::later(std::function<void()> work) {
    loop_.post([alive = std::weak_ptr<bool>(alive_), work = std::move(work)] {
        if (auto live = alive.lock(); live && *live) work();
    });
}

std::string CompanionConnection::unavailable(bool needSession) const {
    if (ended_) return *ended_;
    if (needSession && !sessionUp()) return "The session with the Apple TV is not open.";
    return {};
}

std::int64_t CompanionConnection::nextXid() {
    const std::int64_t xid = xid_;
    xid_ = (xid_ + 1) % kXidLimit;
    return xid;
}

// Frames in.

void CompanionConnection::received(std::span<const std::uint8_t> bytes) {
    lastHeard_ = loop_.now();
    auto frames = reader_.append(bytes);
    if (!frames)
        return end(joinText({"The Apple TV sent a frame that cannot be read: ", frames.error()}));
    const auto alive = alive_;
    for (const CompanionFrame& frame : *frames) {
        take(frame);
        if (!*alive || ended_) return;
    }
}

void CompanionConnection::take(const CompanionFrame& frame) {
    crypto::Bytes payload = frame.payload;
    // Empty payloads are never sealed; they carry nothing either.
    if (payload.empty()) return;
    if (cipher_) {
        auto opened = cipher_->open(frame.header, payload);
        if (!opened) return end("A frame from the Apple TV did not decrypt.");
        payload = std::move(*opened);
    }
    if (frame.type == FrameType::NoOp) return;
    auto value = decodeOpack(payload);
    if (!value)
        return end(joinText({"The Apple TV sent a message that cannot be read: ", value.error()}));

    if (frame.type == FrameType::E_OPACK) {
        if (!cipher_) return;  // no session yet: nothing could be meant for it
        if (auto message = readCompanionMessage(*value)) takeMessage(*message);
        return;
    }
    if (!awaited_ || frame.type != *awaited_) return;  // a pairing frame nobody waits for
    awaited_.reset();
    authTimer_.cancel();
    const OpackValue* pd = value->find("_pd");
    const auto data = pd ? pd->asData() : std::nullopt;
    if (!data) return authFailed(CompanionConnection::pairingError(PairingFailure{}));
    auto handler = std::move(authHandler_);
    authHandler_ = nullptr;
    handler(*data);
}

void CompanionConnection::takeMessage(const CompanionMessage& message) {
    switch (message.kind) {
        case CompanionMessageKind::response: {
            const auto it = message.xid ? pending_.find(*message.xid) : pending_.end();
            if (it == pending_.end()) return;  // late, after its time-out
            Pending pending = std::move(it->second);
            pending_.erase(it);
            pending.timer.cancel();
            if (message.error) {
                CompanionError refusal{
                    joinText({"The Apple TV refused ", pending.name, ": ", *message.error, "."})};
                refusal.refused = true;
                return pending.done(refusal);
            }
            return pending.done(message.content);
        }
        case CompanionMessageKind::request:
            // The TV waits for an answer to what it asks; none of its questions needs more.
            return sendSealed(companionEnvelope(CompanionMessageKind::response, message.name,
                                                message.xid, Dictionary{}));
        case CompanionMessageKind::event: {
            const auto alive = alive_;
            if (message.name == "SystemStatus" || message.name == "TVSystemStatus") {
                takeAttention(message.content);
                if (!*alive) return;
            }
            auto hook = hooks_.event;  // the owner may destroy us, hooks included
            if (hook) hook(message.name, message.content);
            return;
        }
    }
}

// The session.

// this, here and in every request completion: completions live in pending_, which goes with us
// without calling them.
void CompanionConnection::startSession() {
    // The order the TV's own remotes use; only "_systemInfo" must succeed. Older systems refuse
    // TVRCSessionStart and some betas "_sessionStart", and both still take keys.
    sendRequest("_systemInfo", CompanionStartup::systemInfo(identity_, pairingId_),
                options_.replyTimeout, [this](const CompanionResult<OpackValue>& info) {
                    if (ended_) return;
                    if (!info) return end(info.error().sentence);
                    sendRequest("_sessionStart", CompanionStartup::sessionStart(randomNumber()),
                                options_.replyTimeout, [this](const CompanionResult<OpackValue>&) {
                                    if (ended_) return;
                                    sendRequest("TVRCSessionStart",
                                                CompanionStartup::remoteSessionStart(),
                                                options_.replyTimeout,
                                                [this](const CompanionResult<OpackValue>&) {
                                                    if (!ended_) sessionOpened();
                                                });
                                });
                });
}

void CompanionConnection::sessionOpened() {
    started_ = true;
    event("_interest", CompanionStartup::interest("SystemStatus"));
    event("_interest", CompanionStartup::interest("TVSystemStatus"));
    // The media-control flags: the TV sends them once now, then on every change.
    event("_interest", CompanionStartup::interest("_iMC"));
    // Newer systems may refuse it; the events still come, so its failure changes nothing.
    sendRequest("FetchAttentionState", Dictionary{}, options_.replyTimeout,
                [this](const CompanionResult<OpackValue>& state) {
                    if (state) takeAttention(state.value());
                });
    lastHeard_ = loop_.now();
    watchSilence();
    finishAuth(std::string());
}

void CompanionConnection::sendSealed(const OpackValue& message) {
    if (!cipher_ || !socket_) return;
    auto sealed =
        cipher_->seal(static_cast<std::uint8_t>(FrameType::E_OPACK), encodeOpack(message));
    if (!sealed) return later([this] { end("A message for the Apple TV was too long to send."); });
    socket_->send(*sealed);
}

void CompanionConnection::sendRequest(const std::string& name, OpackValue content, double timeout,
                                      ReplyDone done) {
    if (ended_) return later([done, why = *ended_] { done(CompanionError{why}); });
    const std::int64_t xid = nextXid();
    Pending& pending = pending_[xid];
    pending.name = name;
    pending.done = std::move(done);
    // this: the handle lives in pending_, which goes with us.
    pending.timer = loop_.postAfter(timeout, [this, xid] {
        const auto it = pending_.find(xid);
        if (it == pending_.end()) return;
        Pending late = std::move(it->second);
        pending_.erase(it);
        late.done(
            CompanionError{joinText({"The Apple TV did not answer ", late.name, " in time."})});
    });
    sendSealed(companionEnvelope(CompanionMessageKind::request, name, xid, std::move(content)));
}

void CompanionConnection::request(const std::string& name, OpackValue content, double timeout,
                                  ReplyDone done) {
    if (auto why = unavailable(true); !why.empty())
        return later([done, why] { done(CompanionError{why}); });
    sendRequest(name, std::move(content), timeout, std::move(done));
}

void CompanionConnection::event(const std::string& name, OpackValue content) {
    if (!unavailable(false).empty() || !cipher_) return;
    sendSealed(companionEnvelope(CompanionMessageKind::event, name, nextXid(), std::move(content)));
}

// Power.

void CompanionConnection::takeAttention(const OpackValue& content) {
    const OpackValue* state = content.find("state");
    const auto number = state ? state->asInteger() : std::nullopt;
    if (!number) return;
    if (auto power = powerFromAttention(*number)) setPower(*power);
}

void CompanionConnection::setPower(CompanionPower power) {
    if (power == power_) return;
    power_ = power;
    auto hook = hooks_.power;  // the owner may destroy us, hooks included
    if (hook) hook(power);
}

// Silence and the end.

void CompanionConnection::watchSilence() {
    const double now = loop_.now();
    const double quiet = now - lastHeard_;
    if (quiet >= options_.silenceLimit) return end("The Apple TV stopped answering.");
    double next = lastHeard_ + options_.probeInterval;
    if (quiet >= options_.probeInterval) {
        sendRequest(kProbe, Dictionary{}, options_.replyTimeout,
                    [this](const CompanionResult<OpackValue>& state) {
                        if (state) takeAttention(state.value());
                    });
        next = std::min(now + options_.probeInterval, lastHeard_ + options_.silenceLimit);
    }
    // this: silenceTimer_ cancels it when we go.
    silenceTimer_ = loop_.postAfter(next - now, [this] { watchSilence(); });
}

void CompanionConnection::end(const std::string& reason) {
    if (ended_) return;
    ended_ = reason;
    silenceTimer_.cancel();
    authTimer_.cancel();
    awaited_.reset();
    authHandler_ = nullptr;
    socket_.reset();
    auto pending = std::exchange(pending_, {});
    auto holds = std::exchange(holds_, {});
    auto queued = std::exchange(keyQueue_, {});
    auto auth = std::exchange(authDone_, nullptr);
    const CompanionError error{reason, std::nullopt};
    const auto alive = alive_;
    if (auth) {
        auth(error);
        if (!*alive) return;
    }
    for (auto& [xid, request] : pending) {
        request.timer.cancel();
        request.done(error);
        if (!*alive) return;
    }
    for (auto& [id, held] : holds) {
        held.first.cancel();
        held.second(error);
        if (!*alive) return;
    }
    for (const KeyPress& press : queued) {
        press.done(error);
        if (!*alive) return;
    }
    auto closed = hooks_.closed;  // the owner may destroy us, hooks included
    if (closed) closed(reason);
}

}  // namespace orvel
