#pragma once
// DemoBridge: demo mode's bridge, in-process, serving two made-up TVs so that the interface can
// be explored, shown and rendered without any TV or helper. Both play from the start; what the
// remote sends them changes them at once, as the bridge protocol tells it. The session runs on
// it exactly as on the real bridge. A scene other than `playing` sets the household up to show
// one state of the remote (the preview pictures use them).
//
//   auto bridge = std::make_unique<DemoBridge>(loop);   // see DemoServices for the rest
//   auto blocked = std::make_unique<DemoBridge>(loop, DemoBridge::Scene::blocked);
//
// Keeps BridgeTransport's promises: replies and events are posted to the loop in the order of
// the requests; stop() fails what is pending. It never ends by itself, so onFailure is never
// told. Owned by the session; loop thread only; the loop must outlive it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/CredentialStore.hpp"
#include "platform/MainLoop.hpp"
#include "session/BridgeTransport.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class DemoBridge final : public BridgeTransport {
public:
    static constexpr const char* kLivingRoomID = "demo-living";
    static constexpr const char* kBedroomID = "demo-bedroom";
    static constexpr double kVolume = 40;  // the living room's, and what mute goes back to
    static constexpr const char* kOnlySelected =
        "In demo mode only the TV the remote shows takes commands.";

    enum class Scene {
        playing,  // both TVs play
        blocked,  // the living room is a Roku that refuses remote apps, on its home screen
    };
    static constexpr const char* kBlockedRokuID = "roku:demo-living";
    static constexpr const char* kBlockedApp = "Roku Dynamic Menu";
    // What a Roku in limited mode tells about itself (the Roku backend says the same).
    static constexpr const char* kBlockedNotice =
        "This Roku blocks remote apps. On the TV, open Settings → System → Advanced system "
        "settings → Control by mobile apps → Network access, and choose Default.";

    explicit DemoBridge(MainLoop& loop, Scene scene = Scene::playing);
    ~DemoBridge() override;
    DemoBridge(const DemoBridge&) = delete;
    DemoBridge& operator=(const DemoBridge&) = delete;

    // The made-up TVs of `scene`: the living room, then the bedroom.
    static std::vector<TVDevice> devices(Scene scene = Scene::playing);
    // What pairing a made-up TV would have given.
    static CredentialSet credentials();

    void setOnEvent(EventHandler handler) override { onEvent_ = std::move(handler); }
    void setOnFailure(FailureHandler) override {}
    // Tells what every TV plays, then "ready".
    std::optional<std::string> start() override;
    void stop() override;
    void request(const std::string& op, const nlohmann::json& fields, double timeout,
                 Completion completion) override;

private:
    struct TV {
        std::string id;
        bool playing = false;
        std::string title;
        std::string app;
        std::string power = "Unknown";
        std::optional<double> volume;
        std::string notice = {};
    };
    struct Answer {
        nlohmann::json reply;
        std::optional<std::string> stateOf;  // the TV whose "state" follows the reply

        static Answer only(nlohmann::json reply);
    };

    Answer answer(const std::string& op, const nlohmann::json& fields);
    Answer command(const nlohmann::json& fields);
    TV* find(const std::string& id);
    nlohmann::json stateEvent(const TV& tv) const;
    void post(std::function<void()> work);
    void emit(const nlohmann::json& event);

    MainLoop& loop_;
    Scene scene_;
    std::vector<TV> tvs_;
    std::optional<std::string> connected_;  // the TV commands without "device" go to
    std::vector<Completion> pending_;       // posted, not yet answered; oldest first
    std::shared_ptr<int> session_;          // while running; posted work checks it
    EventHandler onEvent_;
};

}  // namespace orvel
