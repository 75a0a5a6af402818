// Our pair-setup and pair-verify against an accessory of another make (hap-nodejs), over the
// HTTP it serves on loopback: what the two sides agree on is the protocol, not our own reading.

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "../../support/ProgramRun.hpp"
#include "../../support/ScratchDir.hpp"
#include "../Hex.hpp"
#include "bridge/companion/Opack.hpp"
#include "bridge/companion/PairSetupClient.hpp"
#include "bridge/companion/PairVerifyClient.hpp"

namespace orvel {
namespace {

using Kind = PairingFailure::Kind;
using crypto::Bytes;

constexpr const char* kSetupCode = "031-45-154";

// libcurl opens its sockets without close-on-exec; the accessory's node would inherit them.
curl_socket_t openSocket(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

size_t collect(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// One TCP connection to the accessory: it keeps a pairing's state per connection.
class Link {
public:
    explicit Link(int port) : base_("http://127.0.0.1:" + std::to_string(port)) {
        curl_easy_setopt(easy_.get(), CURLOPT_OPENSOCKETFUNCTION, &openSocket);
        curl_easy_setopt(easy_.get(), CURLOPT_NOPROXY, "*");
        curl_easy_setopt(easy_.get(), CURLOPT_TIMEOUT, 10L);
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, headers_.get());
    }

    // The answer's body, whatever its status; none fails the test and reads as empty, which
    // our side refuses as malformed.
    Bytes post(const std::string& path, const Bytes& body) {
        std::string answer;
        const std::string url = base_ + path;
        curl_easy_setopt(easy_.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy_.get(), CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(easy_.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, &answer);
        const CURLcode code = curl_easy_perform(easy_.get());
        if (code != CURLE_OK) ADD_FAILURE() << path << ": " << curl_easy_strerror(code);
        return Bytes(answer.begin(), answer.end());
    }

private:
    std::string base_;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy_{curl_easy_init(), &curl_easy_cleanup};
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers_{
        curl_slist_append(nullptr, "Content-Type: application/pairing+tlv8"), &curl_slist_free_all};
};

PairingOutcome<CompanionCredential> pairSetup(int port, const std::string& code,
                                              const Bytes& info = {}) {
    Link link(port);
    PairSetupClient client(code, info);
    auto m3 = client.onM2(link.post("/pair-setup", client.m1()));
    if (!m3) return m3.error();
    auto m5 = client.onM4(link.post("/pair-setup", *m3));
    if (!m5) return m5.error();
    return client.onM6(link.post("/pair-setup", *m5));
}

// hap-nodejs hashes S (into K) and B (into M1) padded to 384 bytes, where RFC 5054 and HAP's
// reference accessory take them without leading zeros, as we do. About one attempt in 128 has
// such a zero and fails on its side as a wrong code; fresh attempts draw new values.
PairingOutcome<CompanionCredential> pairSetupAgreed(int port, const std::string& code,
                                                    const Bytes& info = {}) {
    auto outcome = pairSetup(port, code, info);
    for (int more = 2; more > 0 && !outcome && outcome.error().kind == Kind::wrongCode; --more) {
        outcome = pairSetup(port, code, info);
    }
    return outcome;
}

PairingOutcome<Bytes> pairVerify(int port, const CompanionCredential& credential) {
    Link link(port);
    PairVerifyClient client(credential);
    auto m3 = client.onM2(link.post("/pair-verify", client.m1()));
    if (!m3) return m3.error();
    return client.onM4(link.post("/pair-verify", *m3));
}

// The accessory as a child: `node hap-accessory.js`, its storage in a scratch folder. It ends
// when its stdin closes, at the latest at our end.
class PeerAccessory {
public:
    PeerAccessory() {
        auto child = ChildProcess::spawn(
            ORVEL_NODE,
            {ORVEL_HAP_ACCESSORY_SCRIPT, ORVEL_HAP_NODEJS_DIR, storage_.path(), kSetupCode},
            ChildProcess::Errors::pipe);
        if (!child) {
            ADD_FAILURE() << child.error();
            return;
        }
        child_ = std::move(*child);
        stdin_ = child_->takeStdin();
        errors_ = child_->takeStderr();
        std::istringstream line(test::readUntil(child_->takeStdout().get(), "\n", 20));
        std::string key;
        line >> port >> id >> key;
        publicKey = hex(key);
        if (port == 0) ADD_FAILURE() << "no port: " << test::readUntil(errors_.get(), "", 1);
    }
    ~PeerAccessory() {
        stdin_.reset();
        if (child_) {
            EXPECT_EQ(test::waitForExit(*child_, 10), 0);
        }
    }

    int port = 0;
    std::string id;
    Bytes publicKey;

private:
    test::ScratchDir storage_;
    std::unique_ptr<ChildProcess> child_;
    UniqueFd stdin_;
    UniqueFd errors_;
};

TEST(BridgePeer, PairSetupPairsWithTheSetupCodeOnly) {
    // M5's 0x11, which a HomeKit accessory has no use for and must pass over.
    const Bytes info = encodeOpack(OpackValue::Dictionary{{"name", "Orvel Remote"}});
    PeerAccessory accessory;  // paired once, it refuses every later pair-setup
    auto credential = pairSetupAgreed(accessory.port, kSetupCode, info);
    ASSERT_TRUE(credential) << static_cast<int>(credential.error().kind);
    EXPECT_EQ(credential->tvId, accessory.id);
    EXPECT_EQ(credential->tvPublicKey, accessory.publicKey);

    PeerAccessory other;
    auto refused = pairSetupAgreed(other.port, "031-45-155");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, Kind::wrongCode);
}

// Its pair-setup, without M5's info, is the plain case of the one above.
TEST(BridgePeer, VerifyAcceptsTheStoredCredentialOnly) {
    PeerAccessory accessory;
    auto paired = pairSetupAgreed(accessory.port, kSetupCode);
    ASSERT_TRUE(paired) << static_cast<int>(paired.error().kind);
    struct Row {
        const char* name;
        void (*change)(CompanionCredential&);
        std::optional<Kind> refusal;
    };
    const Row rows[] = {
        {"as stored", [](CompanionCredential&) {}, std::nullopt},
        {"accessory key altered", [](CompanionCredential& c) { c.tvPublicKey[0] ^= 1; },
         Kind::badSignature},
        {"our identifier unknown to it", [](CompanionCredential& c) { c.ourId += "-other"; },
         Kind::notRecognised},
        {"our key pair another",
         [](CompanionCredential& c) { c.ourKeys = crypto::ed25519Generate(); },
         Kind::notRecognised},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CompanionCredential credential = *paired;
        row.change(credential);
        auto secret = pairVerify(accessory.port, credential);
        if (row.refusal) {
            ASSERT_FALSE(secret);
            EXPECT_EQ(secret.error().kind, *row.refusal);
        } else {
            ASSERT_TRUE(secret) << static_cast<int>(secret.error().kind);
            EXPECT_EQ(secret->size(), 32U);
        }
    }
}

}  // namespace
}  // namespace orvel
