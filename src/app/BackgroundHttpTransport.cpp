#include "app/BackgroundHttpTransport.hpp"

#include <utility>

namespace orvel {

BackgroundHttpTransport::BackgroundHttpTransport(MainLoop& loop, CurlTransport::Options options)
    : loop_(loop) {
    // The transport is made and ended on the worker, the only thread that ever touches it.
    thread_ = std::thread([this, options] {
        curl_ = std::make_unique<CurlTransport>(worker_, options);
        worker_.run();
        transfers_.clear();
        curl_.reset();
    });
}

BackgroundHttpTransport::~BackgroundHttpTransport() {
    self_.reset();
    worker_.quit();
    thread_.join();
}

CancelHandle BackgroundHttpTransport::send(HttpRequest request, HttpDone done) {
    const std::uint64_t id = nextID_++;
    auto token = std::make_shared<CancelToken>();
    pending_[id] = {std::move(done), token};
    std::weak_ptr<BackgroundHttpTransport*> owner = self_;
    worker_.post([this, id, owner, request = std::move(request)]() mutable {
        // `this` is alive here: the worker ends before the transport does.
        transfers_[id] = curl_->send(std::move(request), [this, id, owner](HttpResponse response) {
            transfers_.erase(id);
            loop_.post([owner, id, response = std::move(response)]() mutable {
                auto self = owner.lock();
                if (!self) return;
                auto& pending = (*self)->pending_;
                auto found = pending.find(id);
                if (found == pending.end()) return;
                Pending entry = std::move(found->second);
                pending.erase(found);
                if (!entry.token->cancelled) entry.done(std::move(response));
            });
        });
    });
    return CancelHandle(std::move(token));
}

}  // namespace orvel
