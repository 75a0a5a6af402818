#pragma once
// HttpTransport: how the Roku backend sends its HTTP requests. The real one (CurlTransport)
// keeps a connection alive per TV and never blocks the loop; tests put a scripted one in its
// place. Loop thread only.
//
//   auto pending = transport.send({HttpMethod::post, "http://192.0.2.7:8060/keypress/Up"},
//                                 [](HttpResponse response) { ... });
//
// `done` runs exactly once on the loop thread, never from inside send(), unless the returned
// handle is cancelled or destroyed first: then it never runs and the transfer is dropped.

#include <functional>
#include <string>

#include "platform/MainLoop.hpp"

namespace orvel {

enum class HttpMethod { get, post };

struct HttpRequest {
    HttpMethod method = HttpMethod::get;
    std::string url;  // http://<ip>:<port>/<path>, already percent-encoded
};

struct HttpResponse {
    // Empty when an answer came (whatever its status); otherwise why none did, as a short
    // lower-case phrase for logs ("timed out", "connection refused").
    std::string failure;
    bool timedOut = false;
    int status = 0;
    std::string body;

    bool answered() const { return failure.empty(); }
    bool ok() const { return answered() && status >= 200 && status < 300; }
};

using HttpDone = std::function<void(HttpResponse)>;

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    [[nodiscard]] virtual CancelHandle send(HttpRequest request, HttpDone done) = 0;
};

}  // namespace orvel
