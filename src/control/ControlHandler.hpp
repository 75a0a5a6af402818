#pragma once
// ControlHandler: what a control request means. It turns one request object from the socket
// into operations of the AppStore and one reply object; watches go to ControlWatches.
// ControlServer moves the bytes; this holds no socket.
//
//   auto handler = ControlHandler::create(loop, store, [&] { shell.showRemote(); });
//   ControlServer server(loop, *ControlChannel::socketPath(), handler->requestHandler());
//   server.setWatchHandler(handler->watchHandler());
//   if (auto error = server.start()) ...;   // headless: pass [] {} as the open callback
//
// Owner: the application (shared_ptr), next to the store; the server's callbacks and every
// completion hold it weakly, so a request still waiting when it is gone gets no reply from
// here (the server's answer time-out replies instead). Thread: the loop thread; the callbacks
// given to the server may be called on any thread and hop to the loop. Ends with destruction;
// the loop must outlive it.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "control/ControlServer.hpp"
#include "control/ControlWatches.hpp"
#include "core/RemoteAction.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppStore.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class ControlHandler : public std::enable_shared_from_this<ControlHandler> {
public:
    using Reply = std::function<void(nlohmann::json reply)>;
    using OpenRemote = std::function<void()>;

    // Without `openRemote` (headless) "open" fails with kNoRemote.
    static std::shared_ptr<ControlHandler> create(MainLoop& loop, std::shared_ptr<AppStore> store,
                                                  OpenRemote openRemote);
    static constexpr const char* kNoRemote =
        "Orvel Remote is running headless, without a remote to show.";
    ControlHandler(const ControlHandler&) = delete;
    ControlHandler& operator=(const ControlHandler&) = delete;

    // Callbacks for ControlServer, callable from any thread.
    ControlServer::Handler requestHandler();
    ControlServer::WatchHandler watchHandler();

    // Loop thread. `reply` is called exactly once, perhaps later from a completion.
    void handleControl(const nlohmann::json& request, const Reply& reply);

private:
    // `target` is null only for the commands that act on no TV.
    using Command = void (ControlHandler::*)(const nlohmann::json& request, const TVDevice* target,
                                             const Reply& reply);
    struct CommandEntry {
        const char* name;
        bool needsTarget;
        Command run;
    };
    static const CommandEntry kCommands[];

    ControlHandler(MainLoop& loop, std::shared_ptr<AppStore> store, OpenRemote openRemote);

    void tvs(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void open(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void status(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void power(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void listApps(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void launch(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void type(const nlohmann::json& request, const TVDevice* target, const Reply& reply);
    void press(const nlohmann::json& request, const TVDevice* target, const Reply& reply);

    // Sends `action` `times` times, each after the TV took the previous one; replies once.
    void perform(const TVDevice& target, RemoteAction action, std::optional<std::string> text,
                 std::optional<std::string> app, int times, Reply reply);
    nlohmann::json summary(const TVDevice& device) const;
    // Runs `work` on the loop thread: at once when already there.
    void onLoop(std::function<void(ControlHandler&)> work);

    MainLoop& loop_;
    std::shared_ptr<AppStore> store_;
    OpenRemote openRemote_;
    std::shared_ptr<ControlWatches> watches_;
};

}  // namespace orvel
