#pragma once
// ControlHandler: what a control request means. It turns one request object from the socket
// into operations of the AppStore and one reply object, and keeps the watch streams informed
// of the TV they follow. ControlServer moves the bytes; this holds no socket.
//
//   auto handler = ControlHandler::create(loop, store, [&] { shell.showRemote(); });
//   ControlServer server(loop, *ControlChannel::socketPath(), handler->requestHandler());
//   server.setWatchHandler(handler->watchHandler());
//   if (auto error = server.start()) ...;   // headless: pass [] {} as the open callback
//
// Owner: the application (shared_ptr), next to the store; the server's callbacks and every
// completion hold it weakly, so a request still waiting when it is gone gets no reply from
// here (the server's answer time-out replies instead). Thread: the loop thread; the callbacks
// given to the server may be called on any thread and hop to the loop. The store is watched
// for changes only while at least one watch is open. Ends with destruction; the loop must
// outlive it.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "control/ControlProblem.hpp"
#include "control/ControlServer.hpp"
#include "core/RemoteAction.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppStore.hpp"
#include "session/Subscription.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class ControlHandler : public std::enable_shared_from_this<ControlHandler> {
public:
    using Reply = std::function<void(nlohmann::json reply)>;
    using OpenRemote = std::function<void()>;

    // Where a watch's lines go: a ControlStream in the app, a recorder in tests. Any thread.
    class Stream {
    public:
        virtual ~Stream() = default;
        virtual void send(const nlohmann::json& line) = 0;
        // Ends the stream once the lines already sent are written.
        virtual void closeAfterSending() = 0;
        virtual bool isClosed() const = 0;
    };

    static std::shared_ptr<ControlHandler> create(MainLoop& loop, std::shared_ptr<AppStore> store,
                                                  OpenRemote openRemote);
    ControlHandler(const ControlHandler&) = delete;
    ControlHandler& operator=(const ControlHandler&) = delete;

    // Callbacks for ControlServer, callable from any thread.
    ControlServer::Handler requestHandler();
    ControlServer::WatchHandler watchHandler();

    // Loop thread. `reply` is called exactly once, perhaps later from a completion.
    void handleControl(const nlohmann::json& request, Reply reply);
    void startWatch(const nlohmann::json& request, std::shared_ptr<Stream> stream);
    // The TV a request addresses: its "tv" (when a string), else the selected TV.
    std::variant<TVDevice, ControlProblem> controlTarget(const nlohmann::json& request) const;

    std::size_t watchCount() const { return watches_.size(); }
    bool watchingStore() const { return storeChanges_.active(); }

private:
    struct Watch {
        std::shared_ptr<Stream> stream;
        std::optional<std::string> deviceID;  // none: whichever TV is selected
        std::string last;                     // comparison key of the last summary sent
    };

    ControlHandler(MainLoop& loop, std::shared_ptr<AppStore> store, OpenRemote openRemote);

    // Commands that act on a resolved target.
    void status(const nlohmann::json& request, const TVDevice& target, Reply reply);
    void power(const nlohmann::json& request, const TVDevice& target, Reply reply);
    void listApps(const nlohmann::json& request, const TVDevice& target, Reply reply);
    void type(const nlohmann::json& request, const TVDevice& target, Reply reply);
    void press(const nlohmann::json& request, const TVDevice& target, Reply reply);
    void launch(const std::string& query, const TVDevice& target,
                const std::vector<NamedEntry>& apps, Reply reply);

    // Sends `action` `times` times, each after the TV took the previous one; replies once.
    void perform(const TVDevice& target, RemoteAction action, std::optional<std::string> text,
                 std::optional<std::string> app, int times, Reply reply);
    void pushWatches();
    // Runs `work` on the loop thread: at once when already there.
    void onLoop(std::function<void(ControlHandler&)> work);

    MainLoop& loop_;
    std::shared_ptr<AppStore> store_;
    OpenRemote openRemote_;
    std::vector<Watch> watches_;
    Subscription storeChanges_;  // only while watches_ is not empty
};

}  // namespace orvel
