#pragma once
// HttpRequests: the HTTP requests one owner has in flight. Destroying it (or cancelAll())
// cancels them all, so a completion never reaches an owner that is gone. Loop thread only.

#include <cstdint>
#include <map>
#include <string>

#include "bridge/http/HttpTransport.hpp"

namespace orvel {

class HttpRequests {
public:
    explicit HttpRequests(HttpTransport& transport) : transport_(transport) {}
    HttpRequests(const HttpRequests&) = delete;
    HttpRequests& operator=(const HttpRequests&) = delete;

    // `path` starts with "/" and is already percent-encoded.
    void send(HttpMethod method, const std::string& hostPort, const std::string& path,
              HttpDone done);
    // Any other cancellable step (a discovery search) kept with the requests: take a key,
    // hold the step's handle under it, and release the key first thing in its completion.
    std::uint64_t newKey() { return next_++; }
    void hold(std::uint64_t key, CancelHandle handle) { pending_[key] = std::move(handle); }
    void release(std::uint64_t key) { pending_.erase(key); }
    void cancelAll() { pending_.clear(); }

private:
    HttpTransport& transport_;
    std::uint64_t next_ = 0;
    std::map<std::uint64_t, CancelHandle> pending_;
};

}  // namespace orvel
