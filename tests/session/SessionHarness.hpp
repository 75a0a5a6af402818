#pragma once
// SessionHarness: one AppStore on a virtual clock with a scripted bridge, an in-memory
// credential store (called inline, results still posted to the loop), a login service the
// test controls and a defaults file in a scratch folder.

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"
#include "FakeBridge.hpp"
#include "platform/Defaults.hpp"
#include "platform/ManualLoop.hpp"
#include "platform/MemoryCredentialStore.hpp"
#include "session/AppStore.hpp"
#include "session/DemoServices.hpp"
#include "session/LoginService.hpp"

namespace orvel::test {

class FakeLogin final : public LoginService {
public:
    bool enabled() const override { return status; }
    std::optional<std::string> setEnabled(bool wanted) override {
        if (refusal) return refusal;
        // A desktop may accept the request yet not enable it (it needs the user's approval).
        status = wanted && !needsApproval;
        return std::nullopt;
    }
    bool status = false;
    bool needsApproval = false;
    std::optional<std::string> refusal;
};

inline const TVDevice kLiving{"sim:living-room", "Living Room", {"AirPlay", "Companion"}};
inline const TVDevice kKitchen{"sim:kitchen", "Kitchen", {"Companion"}};
inline const TVDevice kBedroom{"roku:sim-bedroom", "Bedroom TV", {}};
inline const CredentialSet kLivingCredentials{{"AirPlay", "a"}, {"Companion", "c"}};

struct SessionHarness {
    explicit SessionHarness(const nlohmann::json& stored = nlohmann::json::object()) {
        if (!stored.empty()) test::ScratchDir::write(defaultsPath, stored.dump());
    }

    // A store on the scripted bridge (`bridge`).
    AppStore& make() {
        auto fake = std::make_unique<FakeBridge>();
        bridge = fake.get();
        return makeWith(std::move(fake));
    }
    AppStore& makeWith(std::unique_ptr<BridgeTransport> transport) {
        defaults = std::make_unique<Defaults>(defaultsPath);
        return create(std::move(transport), replacementStore ? *replacementStore : credentials,
                      false);
    }
    // A demo store on what the app gives one, started and settled.
    AppStore& makeDemo(DemoBridge::Scene scene = DemoBridge::Scene::playing) {
        auto demo = DemoServices::open(loop, defaultsPath, scene);
        defaults = std::move(demo.defaults);
        demoCredentials = std::move(demo.credentials);
        create(std::move(demo.bridge), *demoCredentials, true).start();
        idle();
        return *store;
    }

    AppStore& create(std::unique_ptr<BridgeTransport> transport, CredentialStore& credentialStore,
                     bool demo) {
        store = AppStore::create({.loop = loop,
                                  .defaults = *defaults,
                                  .credentials = credentialStore,
                                  .login = login,
                                  .bridge = std::move(transport),
                                  .demo = demo,
                                  .keychainExecutor = [](auto work) { work(); }});
        return *store;
    }

    // The stored defaults as another run would read them.
    nlohmann::json storedDefaults() const {
        return nlohmann::json::parse(test::ScratchDir::read(defaultsPath));
    }

    const AppState& state() const { return store->state(); }
    void idle() { loop.runUntilIdle(); }

    // Connects `device` on the scripted bridge and answers its "connect" with `reply`.
    void connect(const TVDevice& device, const nlohmann::json& reply = nlohmann::json::object()) {
        store->connect(device);
        idle();
        ASSERT_TRUE(bridge->reply("connect", reply));
        idle();
    }
    // Seconds until the next `op` request goes out, or -1 when none does within two minutes.
    double untilNext(const std::string& op) {
        const auto before = bridge->count(op);
        for (int quarters = 1; quarters <= 4 * 120; ++quarters) {
            loop.advance(0.25);  // exact in binary, so the clock does not drift
            if (bridge->count(op) > before) return quarters / 4.0;
        }
        return -1;
    }

    test::ScratchDir dir;
    std::string defaultsPath = dir / "config/Orvel Remote/defaults.json";
    ManualLoop loop;
    MemoryCredentialStore credentials;
    CredentialStore* replacementStore = nullptr;  // another store in place of `credentials`
    std::unique_ptr<MemoryCredentialStore> demoCredentials;  // makeDemo()'s
    FakeLogin login;
    std::unique_ptr<Defaults> defaults;
    FakeBridge* bridge = nullptr;  // make()'s, owned by the store
    std::shared_ptr<AppStore> store;
};

// A test of a store made from the stored `defaults` on `bridge`.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(const nlohmann::json& defaults = nlohmann::json::object())
        : h(defaults), store(h.make()), bridge(*h.bridge) {}
    void idle() { h.idle(); }

    SessionHarness h;
    AppStore& store;
    FakeBridge& bridge;
};

inline nlohmann::json savedList(std::initializer_list<TVDevice> devices) {
    auto list = nlohmann::json::array();
    for (const auto& device : devices) list.push_back(device.stored());
    return list;
}

}  // namespace orvel::test
