#include "bridge/http/HttpRequests.hpp"

namespace orvel {

void HttpRequests::send(HttpMethod method, const std::string& hostPort, const std::string& path,
                        HttpDone done) {
    const auto key = newKey();
    // The transport holds the callback; only its handle lives here, so erasing it from inside
    // the callback is safe; and as pending_ cancels it on destruction, it never outlives this.
    pending_[key] = transport_.send({method, "http://" + hostPort + path},
                                    [this, key, done = std::move(done)](HttpResponse response) {
                                        pending_.erase(key);
                                        done(std::move(response));
                                    });
}

}  // namespace orvel
