#pragma once
// CurlTransport: HttpTransport over one libcurl multi handle driven by the bridge's PollLoop
// (socket and timer callbacks; no thread, no blocking call). Connections to a host are kept
// alive and reused; a proxy from the environment is never used (TVs are on the local network).
// Owned by the Roku backend; loop thread only. Destroying it drops every transfer in flight
// without running their callbacks.

#include <cstddef>
#include <memory>

#include "bridge/http/HttpTransport.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

class CurlTransport final : public HttpTransport {
public:
    struct Options {
        double connectTimeout = 2.0;  // seconds
        double requestTimeout = 5.0;  // seconds, the whole transfer
        std::size_t maxBodyBytes =
            std::size_t{4} * 1024 * 1024;  // a larger answer fails the transfer
    };

    CurlTransport(PollLoop& loop, Options options);
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    [[nodiscard]] CancelHandle send(HttpRequest request, HttpDone done) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel
