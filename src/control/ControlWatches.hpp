#pragma once
// ControlWatches: the open `orvel watch` streams. Each follows one TV (named, or whichever is
// selected) and gets a summary line whenever that TV's summary changes, except for the
// position alone, which moves on its own while playing. A watch whose "tv" names no paired
// TV, or any watch while none is paired, gets one error line and ends.
//
//   auto watches = ControlWatches::create(loop, store);
//   watches->start(request, stream);
//
// Owner: ControlHandler (shared_ptr); the store's notifications hold it weakly. Loop thread.
// The store is observed only while a stream is open; a closed stream is let go at the next
// change. Ends with destruction; the loop must outlive it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/MainLoop.hpp"
#include "session/AppStore.hpp"
#include "session/Subscription.hpp"

namespace orvel {

class ControlWatches : public std::enable_shared_from_this<ControlWatches> {
public:
    // Where a watch's lines go: a ControlStream in the app, a recorder in tests. Any thread.
    class Stream {
    public:
        virtual ~Stream() = default;
        virtual void send(const nlohmann::json& line) = 0;
        // Ends the stream once the lines already sent are written.
        virtual void closeAfterSending() = 0;
        virtual bool isClosed() const = 0;
    };

    static std::shared_ptr<ControlWatches> create(MainLoop& loop, std::shared_ptr<AppStore> store);
    ControlWatches(const ControlWatches&) = delete;
    ControlWatches& operator=(const ControlWatches&) = delete;

    void start(const nlohmann::json& request, std::shared_ptr<Stream> stream);

private:
    struct Watch {
        std::shared_ptr<Stream> stream;
        std::optional<std::string> deviceID;  // none: whichever TV is selected
        std::string last;                     // comparison key of the last summary sent
    };

    ControlWatches(MainLoop& loop, std::shared_ptr<AppStore> store);
    void push();

    MainLoop& loop_;
    std::shared_ptr<AppStore> store_;
    std::vector<Watch> watches_;
    Subscription storeChanges_;  // only while watches_ is not empty
};

}  // namespace orvel
