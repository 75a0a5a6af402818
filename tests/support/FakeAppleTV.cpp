#include "FakeAppleTV.hpp"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

#include "LoopbackHttpServer.hpp"

#include "bridge/companion/CompanionFrame.hpp"
#include "bridge/companion/Opack.hpp"
#include "bridge/companion/PairSetupAccessory.hpp"
#include "bridge/companion/PairVerifyAccessory.hpp"
#include "bridge/companion/SessionCipher.hpp"
#include "bridge/companion/TextInputArchive.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel::test {

namespace {

using Dictionary = OpackValue::Dictionary;

// The reply a TV gives to a request it has no handler for.
constexpr int kNoHandler = 58822;

crypto::Bytes pdOf(const OpackValue& message) {
    const OpackValue* pd = message.find("_pd");
    const auto data = pd ? pd->asData() : std::nullopt;
    return data ? crypto::Bytes(data->begin(), data->end()) : crypto::Bytes{};
}

// The one text-input session the fake ever has.
const crypto::Bytes kSession = {0x6B, 0x1E, 0x20, 0x5A, 0x11, 0x42, 0x4D, 0x0C,
                                0x9A, 0x33, 0x71, 0x08, 0xC2, 0x5E, 0x90, 0x17};

std::string textOf(const OpackValue& content, std::string_view key) {
    const OpackValue* value = content.find(key);
    const auto text = value ? value->asString() : std::nullopt;
    return text ? std::string(*text) : std::string();
}

OpackValue event(const std::string& name, Dictionary content) {
    return Dictionary{{"_i", name}, {"_t", 1}, {"_c", std::move(content)}};
}

}  // namespace

struct FakeAppleTV::Connection {
    UniqueFd fd;
    CancelHandle watch;
    FrameReader reader;
    std::optional<PairSetupAccessory> setup;
    std::optional<PairVerifyAccessory> verify;
    std::unique_ptr<SessionCipher> cipher;
    bool wantsMedia = false;  // registered for "_iMC"

    void send(FrameType type, const crypto::Bytes& payload) {
        std::optional<crypto::Bytes> frame;
        if (cipher) {
            frame = cipher->seal(static_cast<std::uint8_t>(type), payload);
        } else if (auto plain = buildFrame(type, payload)) {
            frame = std::move(*plain);
        }
        if (!frame || !fd) return;
        // Loopback takes these few hundred bytes at once; a short write would be a test bug.
        (void)::send(fd.get(), frame->data(), frame->size(), MSG_NOSIGNAL);
    }
    void sendMessage(FrameType type, const OpackValue& message) {
        send(type, encodeOpack(message));
    }
    void sendPairing(FrameType type, const crypto::Bytes& data) {
        sendMessage(type, Dictionary{{"_pd", OpackValue::Data(data)}});
    }
};

FakeAppleTV::FakeAppleTV(PollLoop& loop, FakeAppleTVConfig config)
    : loop_(loop),
      config_(std::move(config)),
      keys_(crypto::ed25519Generate()),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)),
      port_(listenOnLoopback(listener_.get(), "FakeAppleTV")) {
    // this: the watch is ours and cancelled when we go.
    acceptWatch_ = loop_.watchReadable(listener_.get(), [this] { accept(); });
}

FakeAppleTV::~FakeAppleTV() = default;

std::vector<OpackValue> FakeAppleTV::contents(const std::string& name) const {
    std::vector<OpackValue> found;
    for (const auto& [each, content] : contents_) {
        if (each == name) found.push_back(content);
    }
    return found;
}

const OpackValue* FakeAppleTV::lastContent(const std::string& name) const {
    for (auto it = contents_.rbegin(); it != contents_.rend(); ++it) {
        if (it->first == name) return &it->second;
    }
    return nullptr;
}

void FakeAppleTV::accept() {
    UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd) return;
    auto connection = std::make_unique<Connection>();
    connection->fd = std::move(fd);
    Connection* raw = connection.get();
    // this, raw: both outlive the watch, which the connection owns.
    connection->watch = loop_.watchReadable(raw->fd.get(), [this, raw] { serve(*raw); });
    connections_.push_back(std::move(connection));
}

void FakeAppleTV::close(Connection& connection) {
    connection.watch.cancel();
    connection.fd.reset();
    connection.cipher.reset();
}

void FakeAppleTV::dropConnections() {
    for (auto& connection : connections_) close(*connection);
}

void FakeAppleTV::broadcast(const OpackValue& message, bool mediaOnly) {
    for (auto& connection : connections_) {
        if (connection->cipher && (!mediaOnly || connection->wantsMedia))
            connection->sendMessage(FrameType::E_OPACK, message);
    }
}

void FakeAppleTV::sendSystemStatus(int state, const std::string& name) {
    broadcast(event(name, {{"state", state}}));
}

void FakeAppleTV::sendRaw(const crypto::Bytes& bytes) {
    for (auto& connection : connections_) {
        if (connection->cipher)
            (void)::send(connection->fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
}

void FakeAppleTV::sendTampered() {
    for (auto& connection : connections_) {
        if (!connection->cipher) continue;
        auto frame = connection->cipher->seal(static_cast<std::uint8_t>(FrameType::E_OPACK),
                                              encodeOpack(event("SystemStatus", {})));
        if (!frame) continue;
        frame->back() ^= 0x01;
        (void)::send(connection->fd.get(), frame->data(), frame->size(), MSG_NOSIGNAL);
    }
}

void FakeAppleTV::setMediaFlags(std::int64_t flags) {
    config_.mediaFlags = flags;
    broadcast(event("_iMC", {{"_mcF", flags}}), true);
}

void FakeAppleTV::takeEvent(Connection& c, const std::string& name, const OpackValue& content) {
    if (name == "_tiC") return editField(content);
    const OpackValue* events = name == "_interest" ? content.find("_regEvents") : nullptr;
    if (!events || !events->asArray()) return;
    for (const OpackValue& each : *events->asArray()) {
        if (each.asString() != "_iMC") continue;
        c.wantsMedia = true;
        c.sendMessage(FrameType::E_OPACK, event("_iMC", {{"_mcF", config_.mediaFlags}}));
    }
}

void FakeAppleTV::ask(const std::string& name, std::int64_t xid) {
    broadcast(Dictionary{{"_i", name}, {"_t", 2}, {"_x", xid}, {"_c", Dictionary{}}});
}

void FakeAppleTV::serve(Connection& c) {
    std::array<std::uint8_t, 8192> buffer{};
    const ssize_t n = ::recv(c.fd.get(), buffer.data(), buffer.size(), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) return close(c);
    auto frames = c.reader.append(std::span(buffer.data(), static_cast<std::size_t>(n)));
    if (!frames) return close(c);
    for (const CompanionFrame& frame : *frames) {
        crypto::Bytes payload = frame.payload;
        if (!c.cipher) {
            crypto::Bytes whole(frame.header.begin(), frame.header.end());
            whole.insert(whole.end(), payload.begin(), payload.end());
            plainFrames_.push_back(std::move(whole));
        }
        if (c.cipher && !payload.empty()) {
            auto opened = c.cipher->open(frame.header, payload);
            if (!opened) return close(c);
            payload = std::move(*opened);
        }
        if (silent_) continue;
        auto message = decodeOpack(payload);
        if (!message) continue;
        switch (frame.type) {
            case FrameType::PS_Start:
                c.setup.emplace(config_.pin, config_.tvId, keys_);
                ++pinsShown_;
                c.sendPairing(FrameType::PS_Next, c.setup->onM1(pdOf(*message)));
                break;
            case FrameType::PS_Next: {
                if (!c.setup) break;
                const crypto::Bytes pd = pdOf(*message);
                auto items = Tlv8::decode(pd);
                const auto state = items ? Tlv8::readInteger(*items, Tlv8::state) : std::nullopt;
                const crypto::Bytes answer = state == 5 ? c.setup->onM5(pd) : c.setup->onM3(pd);
                if (state == 5 && c.setup->paired()) paired_.push_back(*c.setup->paired());
                c.sendPairing(FrameType::PS_Next, answer);
                break;
            }
            case FrameType::PV_Start:
                c.verify.emplace(config_.tvId, keys_, paired_);
                c.sendPairing(FrameType::PV_Next, c.verify->onM1(pdOf(*message)));
                break;
            case FrameType::PV_Next:
                if (!c.verify) break;
                c.sendPairing(FrameType::PV_Next, c.verify->onM3(pdOf(*message)));
                if (c.verify->sharedSecret()) {
                    c.cipher = std::make_unique<SessionCipher>(*c.verify->sharedSecret(),
                                                               SessionCipher::Role::accessory);
                }
                break;
            case FrameType::E_OPACK:
                if (c.cipher) answer(c, *message);
                break;
            default:
                break;
        }
    }
}

void FakeAppleTV::answer(Connection& c, const OpackValue& message) {
    const OpackValue* kind = message.find("_t");
    const std::string name = textOf(message, "_i");
    const OpackValue* xid = message.find("_x");
    if (kind && kind->asInteger() != 3) xids_.push_back(xid ? xid->asInteger().value_or(-1) : -1);
    if (kind && kind->asInteger() == 1) {
        events_.push_back(message);
        const OpackValue* content = message.find("_c");
        takeEvent(c, name, content ? *content : OpackValue(Dictionary{}));
        if (onRecord_) onRecord_();
        return;
    }
    if (kind && kind->asInteger() == 3) {
        answers_.push_back(xid ? xid->asInteger().value_or(-1) : -1);
        return;
    }
    if (!kind || kind->asInteger() != 2) return;
    const OpackValue* contentValue = message.find("_c");
    const OpackValue content = contentValue ? *contentValue : OpackValue(Dictionary{});
    requests_.push_back(name);
    contents_.emplace_back(name, content);

    Dictionary reply{{"_t", 3}, {"_x", xid ? *xid : OpackValue()}};
    Dictionary result;
    bool refused = false;
    if (name == "_hidC") {
        const OpackValue* code = content.find("_hidC");
        const OpackValue* state = content.find("_hBtS");
        presses_.push_back({static_cast<int>(code ? code->asInteger().value_or(0) : 0),
                            static_cast<int>(state ? state->asInteger().value_or(0) : 0)});
    } else if (name == "FetchAttentionState") {
        refused = config_.refuseAttention;
        result = {{"state", config_.attention}};
    } else if (name == "_systemInfo") {
        result = {{"_i", "0f1e2d3c4b5a"}, {"name", "Fake Apple TV"}, {"_lP", port_}};
    } else if (name == "_sessionStart") {
        result = {{"_sid", 77}};
    } else if (name == "TVRCSessionStart") {
        refused = config_.refuseRemoteSession;
        result = {{"ProtocolVersionKey", "1.2"}};
    } else {
        refused = !answerFeature(name, content, result);
    }
    if (refused) {
        reply.emplace_back("_em", "No request handler");
        reply.emplace_back("_ec", kNoHandler);
    } else {
        reply.emplace_back("_c", std::move(result));
    }
    c.sendMessage(FrameType::E_OPACK, reply);
    if (onRecord_) onRecord_();
}

// The apps, the text field and media control.
bool FakeAppleTV::answerFeature(const std::string& name, const OpackValue& content,
                                Dictionary& result) {
    if (name == "FetchLaunchableApplicationsEvent") {
        for (const auto& [id, title] : config_.apps) result.emplace_back(id, title);
        return true;
    }
    if (name == "_launchApp") {
        std::string app = textOf(content, "_bundleID");
        if (app.empty()) app = textOf(content, "_urlS");
        const bool known = std::any_of(config_.apps.begin(), config_.apps.end(),
                                       [&](const auto& each) { return each.first == app; });
        if (!known && app.find(':') == std::string::npos) return false;
        launched_.push_back(app);
        return true;
    }
    if (name == "_tiStart") {
        if (config_.field) {
            result.emplace_back("_tiV", 1);
            result.emplace_back(
                "_tiD", OpackValue::Data(TextInputArchive::field(kSession, *config_.field)));
        }
        return true;
    }
    if (name == "_tiStop") return true;
    if (name != "_mcc") return false;
    const OpackValue* command = content.find("_mcc");
    const auto number = command ? command->asInteger() : std::nullopt;
    // The bit of each command in the media flags; GetVolume needs the volume's.
    static constexpr std::int64_t kBits[] = {0, 0x1, 0x2, 0x4, 0x8, 0x100, 0x100, 0x600};
    if (!number || *number < 1 || *number > 7 || (config_.mediaFlags & kBits[*number]) == 0) {
        return false;
    }
    if (*number == 5) result.emplace_back("_vol", config_.volume);
    if (*number == 6) {
        const OpackValue* level = content.find("_vol");
        if (!level || !level->asFloat()) return false;
        config_.volume = *level->asFloat();
    }
    return true;
}

void FakeAppleTV::editField(const OpackValue& content) {
    const OpackValue* archive = content.find("_tiD");
    const auto bytes = archive ? archive->asData() : std::nullopt;
    const auto operation = bytes ? TextInputArchive::readOperation(*bytes) : std::nullopt;
    if (!config_.field || !operation || operation->target != kSession) return;
    if (operation->clears) config_.field->clear();
    if (operation->insertion) *config_.field += *operation->insertion;
}

}  // namespace orvel::test
