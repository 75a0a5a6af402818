#include "bridge/protocol/Dispatcher.hpp"

#include <string>

#include "platform/BoundedJson.hpp"

namespace orvel {

namespace {

using nlohmann::json;

// A request nests two levels (its credentials); far deeper is no request at all.
constexpr std::size_t kMaxDepth = 64;

using Call = void (*)(Backend&, const BridgeRequest&, BackendReply);

// One row per operation: how a checked request becomes a backend call.
const std::map<BridgeOp, Call>& calls() {
    static const std::map<BridgeOp, Call> table = {
        {BridgeOp::scan, [](Backend& backend, const BridgeRequest&,
                            BackendReply reply) { backend.scan(std::move(reply)); }},
        {BridgeOp::connect,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.connect(*request.device, request.credentials.value_or(Credentials{}),
                             std::move(reply));
         }},
        {BridgeOp::disconnect,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.disconnect(request.device, std::move(reply));
         }},
        {BridgeOp::pairBegin,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.pairBegin(*request.device, request.protocol, std::move(reply));
         }},
        {BridgeOp::pairFinish,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.pairFinish(request.pin, std::move(reply));
         }},
        {BridgeOp::pairCancel, [](Backend& backend, const BridgeRequest&,
                                  BackendReply reply) { backend.pairCancel(std::move(reply)); }},
        {BridgeOp::watch,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.watch(*request.device, request.credentials.value_or(Credentials{}),
                           std::move(reply));
         }},
        {BridgeOp::command,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.command(request.commandArgs(), std::move(reply));
         }},
        {BridgeOp::apps,
         [](Backend& backend, const BridgeRequest& request, BackendReply reply) {
             backend.apps(request.device, request.credentials, std::move(reply));
         }},
    };
    return table;
}

}  // namespace

std::shared_ptr<Dispatcher> Dispatcher::create(MainLoop& loop, std::unique_ptr<Backend> backend,
                                               FaultScript faults, Output output) {
    std::shared_ptr<Dispatcher> dispatcher(
        new Dispatcher(loop, std::move(backend), std::move(faults), std::move(output)));
    dispatcher->backend_->setEventSink([weak = dispatcher->weak_from_this()](const json& event) {
        if (auto self = weak.lock()) self->write(event);
    });
    return dispatcher;
}

Dispatcher::Dispatcher(MainLoop& loop, std::unique_ptr<Backend> backend, FaultScript faults,
                       Output output)
    : loop_(loop),
      backend_(std::move(backend)),
      faults_(std::move(faults)),
      output_(std::move(output)) {}

void Dispatcher::start() {
    write({{"event", "ready"}});
}

void Dispatcher::receive(std::string_view bytes) {
    for (const auto& line : lines_.append(bytes)) handleLine(line);
}

void Dispatcher::handleLine(std::string_view line) {
    if (stopped_) return;
    const auto parsed = BoundedJson::parseObject(line, kMaxDepth);
    if (!parsed) return;  // nothing to answer: no id can be trusted
    const json& object = *parsed;
    const auto id = object.find("id");
    const bool answerable = id != object.end() && !id->is_null();

    auto request = BridgeRequest::parse(object);
    if (auto* error = std::get_if<std::string>(&request)) {
        if (answerable) answer(*id, {{"error", *error}});
        return;
    }
    if (answerable) serve(*id, std::get<BridgeRequest>(request));
}

void Dispatcher::serve(const json& id, const BridgeRequest& request) {
    const std::string device = request.device.value_or(backend_->impliedDevice(request.op));
    auto fault = faults_.take(request.op, device);
    if (!fault || fault->delay <= 0) return apply(id, request, fault);

    const auto key = nextDelay_++;
    delayed_[key] =
        loop_.postAfter(fault->delay, [weak = weak_from_this(), key, id, request, fault] {
            auto self = weak.lock();
            if (!self) return;
            self->delayed_.erase(key);
            self->apply(id, request, fault);
        });
}

void Dispatcher::apply(const json& id, const BridgeRequest& request,
                       const std::optional<Fault>& fault) {
    if (stopped_) return;
    switch (fault ? fault->effect : Fault::Effect::answer) {
        case Fault::Effect::answer:
            return forward(id, request);
        case Fault::Effect::error:
            return answer(id, {{"error", fault->text}});
        case Fault::Effect::noReply:
            return;
        case Fault::Effect::exit:
            stopped_ = true;
            delayed_.clear();
            if (output_.exit) output_.exit(fault->exitStatus);
            return;
        case Fault::Effect::garbage:
            if (output_.writeLine) output_.writeLine(fault->text);
            return;
    }
}

void Dispatcher::forward(const json& id, const BridgeRequest& request) {
    // A backend that completes twice is wrong; the second completion must not reach the wire.
    auto answered = std::make_shared<bool>(false);
    calls().at(request.op)(*backend_, request,
                           [weak = weak_from_this(), id, answered](json fields) {
                               if (std::exchange(*answered, true)) return;
                               if (auto self = weak.lock()) self->answer(id, std::move(fields));
                           });
}

void Dispatcher::answer(const json& id, json fields) {
    json reply = std::move(fields);
    if (!reply.is_object()) reply = json::object();
    reply["id"] = id;
    write(reply);
}

void Dispatcher::write(const json& object) {
    if (stopped_ || !output_.writeLine) return;
    output_.writeLine(object.dump(-1, ' ', false, json::error_handler_t::replace));
}

}  // namespace orvel
