#pragma once
// BackgroundHttpTransport: an HttpTransport for a loop that cannot drive libcurl itself (the Qt
// loop watches descriptors for reading only): the transfers run on a PollLoop thread of their
// own and their answers come back to `loop` as posts, so the caller never waits on the network.
//
//   BackgroundHttpTransport http(loop, {.requestTimeout = 5.0});
//   auto pending = http.send({HttpMethod::get, url}, [](HttpResponse response) { ... });
//
// Owner: whoever fetches (the app, for the icon cache). send() and the completions: `loop`'s
// thread. Destruction stops the thread; answers not yet delivered are dropped, never run.

#include <cstdint>
#include <map>
#include <memory>
#include <thread>

#include "bridge/http/CurlTransport.hpp"
#include "bridge/http/HttpTransport.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

class BackgroundHttpTransport final : public HttpTransport {
public:
    BackgroundHttpTransport(MainLoop& loop, CurlTransport::Options options);
    ~BackgroundHttpTransport() override;
    BackgroundHttpTransport(const BackgroundHttpTransport&) = delete;
    BackgroundHttpTransport& operator=(const BackgroundHttpTransport&) = delete;

    [[nodiscard]] CancelHandle send(HttpRequest request, HttpDone done) override;

private:
    struct Pending {
        HttpDone done;
        std::shared_ptr<CancelToken> token;
    };

    MainLoop& loop_;
    // Loop thread only: completions stay here, so they are never copied or destroyed on the
    // worker thread.
    std::map<std::uint64_t, Pending> pending_;
    std::uint64_t nextID_ = 1;
    // Answers posted to `loop_` reach us through this; it expires first on destruction.
    std::shared_ptr<BackgroundHttpTransport*> self_ =
        std::make_shared<BackgroundHttpTransport*>(this);

    PollLoop worker_;
    // Worker thread only.
    std::unique_ptr<CurlTransport> curl_;
    std::map<std::uint64_t, CancelHandle> transfers_;
    std::thread thread_;
};

}  // namespace orvel
