#pragma once
// Dispatcher: the bridge's protocol in one place. It takes the bytes read from standard input,
// turns each request line into one call of its Backend (after the FaultScript had its say) and
// each completion and event into one output line. It reads and writes no descriptor itself:
// main() feeds it and hands it the line writer. Loop thread only.
//
//   auto dispatcher = Dispatcher::create(loop, std::move(backend), std::move(faults), output);
//   dispatcher->start();           // writes "ready"
//   dispatcher->receive(bytes);    // for every chunk read
//
// A line that is not a JSON object (or nests deeper than any request) is ignored; a request
// that cannot be served is answered with an "error" when it carries an "id", and ignored
// otherwise. Completions and timers hold the Dispatcher weakly; destroying it drops whatever
// is still pending.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "bridge/protocol/Backend.hpp"
#include "bridge/protocol/BridgeRequest.hpp"
#include "bridge/protocol/FaultScript.hpp"
#include "core/LineBuffer.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class Dispatcher : public std::enable_shared_from_this<Dispatcher> {
public:
    struct Output {
        std::function<void(std::string_view line)> writeLine;  // without its line feed
        std::function<void(int status)> exit;  // a fault script asks the bridge to exit
    };

    static std::shared_ptr<Dispatcher> create(MainLoop& loop, std::unique_ptr<Backend> backend,
                                              FaultScript faults, Output output);
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    void start();
    void receive(std::string_view bytes);

private:
    Dispatcher(MainLoop& loop, std::unique_ptr<Backend> backend, FaultScript faults, Output output);

    void handleLine(std::string_view line);
    void serve(const nlohmann::json& id, const BridgeRequest& request);
    void apply(const nlohmann::json& id, const BridgeRequest& request,
               const std::optional<Fault>& fault);
    void forward(const nlohmann::json& id, const BridgeRequest& request);
    void answer(const nlohmann::json& id, nlohmann::json fields);
    void write(const nlohmann::json& object);

    MainLoop& loop_;
    std::unique_ptr<Backend> backend_;
    FaultScript faults_;
    Output output_;
    LineBuffer lines_;
    bool stopped_ = false;  // a fault script made the bridge exit: nothing is read or written
    std::uint64_t nextDelay_ = 0;
    std::map<std::uint64_t, CancelHandle> delayed_;  // requests a fault holds back
};

}  // namespace orvel
