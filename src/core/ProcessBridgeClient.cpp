#include "core/ProcessBridgeClient.hpp"

#include <signal.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <utility>

#include "core/BridgeLineDecoder.hpp"
#include "core/BridgePipe.hpp"
#include "core/RandomUuid.hpp"
#include "platform/ChildProcess.hpp"
#include "platform/SerialQueue.hpp"

namespace orvel {

namespace {

constexpr const char* kNotRunning = "The TV helper is not running.";
constexpr const char* kUnableToSend = "Unable to send a command to the TV helper.";
constexpr const char* kStopped = "The TV connection helper stopped.";
constexpr const char* kHelperStopped = "The TV connection helper stopped. Reconnect to try again.";
constexpr const char* kNoResponse = "The TV did not respond. Reconnect to try again.";
constexpr const char* kInvalidResponse = "The TV helper returned an invalid response.";

constexpr std::size_t kReadBufferSize = 65536;
constexpr double kSecondSignalDelay = 2.0;
constexpr double kKillDelay = 4.0;

nlohmann::json errorObject(const char* message) {
    return nlohmann::json{{"error", message}};
}

// The wire form: `fields` with "id" and "op" set (replacing any of those names), compact,
// ending in a line feed. The two are written into the text rather than inserted into the
// object, as this runs for every request. None when a string is not UTF-8.
std::optional<std::string> encodeLine(const std::string& op, const std::string& id,
                                      nlohmann::json fields) {
    try {
        std::string body = "{}";
        if (fields.is_object()) {
            fields.erase("id");
            fields.erase("op");
            body = fields.dump();
        }
        std::string line = "{\"id\":\"" + id + "\",\"op\":" + nlohmann::json(op).dump();
        if (body.size() > 2) {
            line += ',';
            line.append(body, 1, std::string::npos);
        } else {
            line += '}';
        }
        line += '\n';
        return line;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

class ProcessBridgeClient::Impl : public std::enable_shared_from_this<Impl> {
public:
    struct Request {
        std::string id;
        std::string line;  // moved to the writer once the request is dispatched
        double timeout;
        ProcessBridgeClient::Completion completion;
    };

    // One child process and everything that lives exactly as long as it. Held by the client
    // while current and by the teardown timers afterwards, always released on the loop thread:
    // its destructor joins the reader and writer threads, which is why their own work items
    // hold only the pipe.
    struct Session {
        Session(std::uint64_t number, std::unique_ptr<ChildProcess> child,
                std::shared_ptr<BridgePipe> bytes)
            : generation(number), process(std::move(child)), pipe(std::move(bytes)) {}
        ~Session() { pipe->wake(); }

        const std::uint64_t generation;
        std::unique_ptr<ChildProcess> process;
        std::shared_ptr<BridgePipe> pipe;
        SerialQueue reader{"quillon.orvel.bridge.reader"};
        SerialQueue writer{"quillon.orvel.bridge.writer"};
    };

    Impl(MainLoop& loop, ConfigurationSource configuration)
        : loop_(loop), configuration_(std::move(configuration)) {}

    void checkThread() const {
        if (loop_.isLoopThread()) return;
        static_cast<void>(std::fputs("ProcessBridgeClient used off its loop thread\n", stderr));
        std::abort();
    }

    std::optional<std::string> start();
    void request(const std::string& op, nlohmann::json fields, double timeout,
                 Completion completion);
    void stop() {
        if (session_) finish(session_->generation, kStopped, false, false);
    }
    bool isStarted() const { return session_ != nullptr; }

    EventHandler onEvent;
    FailureHandler onFailure;

private:
    bool isCurrent(std::uint64_t generation) const {
        return session_ && session_->generation == generation;
    }
    void startReadLoop(Session& session);
    void route(std::uint64_t generation, std::vector<nlohmann::json> objects);
    void dispatchNext(std::uint64_t generation);
    void failActive(std::uint64_t generation, const std::string& id, const char* message);
    void finish(std::uint64_t generation, const char* message, bool terminate, bool notify);
    void close(const std::shared_ptr<Session>& session, bool terminate);

    MainLoop& loop_;
    ConfigurationSource configuration_;
    std::shared_ptr<Session> session_;
    std::deque<Request> queued_;
    std::optional<Request> active_;
    CancelHandle deadline_;
    std::uint64_t lastGeneration_ = 0;
};

std::optional<std::string> ProcessBridgeClient::Impl::start() {
    if (session_) return std::nullopt;
    auto configured = configuration_ ? configuration_() : std::string(kNotRunning);
    if (auto* error = std::get_if<std::string>(&configured)) return *error;
    const auto& configuration = std::get<Configuration>(configured);

    auto process = ChildProcess::spawn(configuration.executable, configuration.arguments);
    if (!process) return process.error();
    auto pipe = BridgePipe::create((*process)->takeStdin(), (*process)->takeStdout());
    if (!pipe) return pipe.error();  // the process's destructor kills and reaps it

    session_ = std::make_shared<Session>(++lastGeneration_, std::move(*process), std::move(*pipe));
    startReadLoop(*session_);
    return std::nullopt;
}

void ProcessBridgeClient::Impl::startReadLoop(Session& session) {
    session.reader.async([pipe = session.pipe, generation = session.generation, loop = &loop_,
                          weak = weak_from_this()] {
        // The loop outlives every session: sessions are released on it.
        std::vector<char> buffer(kReadBufferSize);
        BridgeLineDecoder decoder;
        for (;;) {
            auto result = pipe->read(buffer.data(), buffer.size());
            if (result.status == BridgePipe::ReadStatus::woken) return;
            const char* failure = nullptr;
            std::vector<nlohmann::json> objects;
            if (result.status != BridgePipe::ReadStatus::data) {
                failure = kHelperStopped;
            } else {
                auto decoded = decoder.append(std::string_view(buffer.data(), result.size));
                if (decoded.error) failure = kInvalidResponse;
                objects = std::move(decoded.objects);
            }
            if (pipe->woken()) return;  // closed meanwhile: nobody wants these any more
            if (!objects.empty()) {
                loop->post([weak, generation, objects = std::move(objects)]() mutable {
                    if (auto self = weak.lock()) self->route(generation, std::move(objects));
                });
            }
            if (failure) {
                loop->post([weak, generation, failure] {
                    if (auto self = weak.lock()) self->finish(generation, failure, true, true);
                });
                return;
            }
        }
    });
}

void ProcessBridgeClient::Impl::request(const std::string& op, nlohmann::json fields,
                                        double timeout, Completion completion) {
    if (!completion) completion = [](const nlohmann::json&) {};
    if (!session_ || !session_->process->isRunning()) {
        completion(errorObject(kNotRunning));
        return;
    }
    if (!fields.is_null() && !fields.is_object()) {
        completion(errorObject(kUnableToSend));
        return;
    }
    Request request{randomUuid(), {}, timeout, std::move(completion)};
    auto line = encodeLine(op, request.id, std::move(fields));
    if (!line) {
        request.completion(errorObject(kUnableToSend));
        return;
    }
    request.line = std::move(*line);
    queued_.push_back(std::move(request));
    dispatchNext(session_->generation);
}

void ProcessBridgeClient::Impl::dispatchNext(std::uint64_t generation) {
    if (!isCurrent(generation) || active_ || queued_.empty()) return;
    active_ = std::move(queued_.front());
    queued_.pop_front();
    auto weak = weak_from_this();
    auto id = active_->id;
    double timeout = active_->timeout;
    if (std::isnan(timeout)) timeout = 0;
    if (!std::isinf(timeout)) {  // an infinite time-out waits for as long as the session lasts
        deadline_ = loop_.postAfter(timeout, [weak, generation, id] {
            if (auto self = weak.lock()) self->failActive(generation, id, kNoResponse);
        });
    }
    // A line nearly always fits in the pipe at once: writing it here spares a wake-up of the
    // writer thread per request. Whatever the pipe cannot take now goes to the writer, which
    // may block.
    std::string line = std::move(active_->line);
    auto sent = session_->pipe->writeNow(line);
    if (sent.failed) {
        loop_.post([weak, generation, id] {
            if (auto self = weak.lock()) self->failActive(generation, id, kUnableToSend);
        });
        return;
    }
    if (sent.written == line.size()) return;
    line.erase(0, sent.written);
    session_->pipe->willWrite();
    // The raw loop pointer is safe: the loop outlives every session, which joins this writer.
    session_->writer.async(
        [pipe = session_->pipe, line = std::move(line), loop = &loop_, weak, generation, id] {
            if (pipe->write(line) != BridgePipe::WriteStatus::failed) return;
            loop->post([weak, generation, id] {
                if (auto self = weak.lock()) self->failActive(generation, id, kUnableToSend);
            });
        });
}

void ProcessBridgeClient::Impl::failActive(std::uint64_t generation, const std::string& id,
                                           const char* message) {
    if (isCurrent(generation) && active_ && active_->id == id) {
        finish(generation, message, true, true);
    }
}

void ProcessBridgeClient::Impl::route(std::uint64_t generation,
                                      std::vector<nlohmann::json> objects) {
    auto keepAlive = shared_from_this();  // a callback may destroy the client
    for (auto& object : objects) {
        // Checked before each object: a completion or handler may have stopped the session.
        if (!isCurrent(generation)) return;
        auto id = object.find("id");
        if (id == object.end() || !id->is_string()) {
            if (auto handler = onEvent) handler(object);
            continue;
        }
        if (!active_ || active_->id != id->get_ref<const std::string&>()) continue;
        deadline_.cancel();
        auto completion = std::move(active_->completion);
        active_.reset();
        completion(object);
        dispatchNext(generation);
    }
}

void ProcessBridgeClient::Impl::finish(std::uint64_t generation, const char* message,
                                       bool terminate, bool notify) {
    if (!isCurrent(generation)) return;
    auto keepAlive = shared_from_this();
    auto session = std::move(session_);
    session_.reset();
    deadline_.cancel();
    std::vector<Completion> failed;
    if (active_) failed.push_back(std::move(active_->completion));
    for (auto& request : queued_) failed.push_back(std::move(request.completion));
    active_.reset();
    queued_.clear();

    close(session, terminate);

    auto reply = errorObject(message);
    for (auto& completion : failed) completion(reply);
    // A completion that started a new session has dealt with the failure itself.
    if (notify && !session_) {
        if (auto handler = onFailure) handler(message);
    }
}

void ProcessBridgeClient::Impl::close(const std::shared_ptr<Session>& session, bool terminate) {
    if (terminate && session->process->isRunning()) session->process->signal(SIGTERM);
    // Ends the read loop even when a grandchild keeps the child's stdout open, and a write
    // blocked on a child that stopped reading.
    session->pipe->wake();
    session->writer.async([pipe = session->pipe] { pipe->closeInput(); });
    session->reader.async([pipe = session->pipe] { pipe->closeOutput(); });
    loop_
        .postAfter(kSecondSignalDelay,
                   [session, terminate] {
                       if (session->process->isRunning()) {
                           session->process->signal(terminate ? SIGKILL : SIGTERM);
                       }
                   })
        .detach();
    loop_
        .postAfter(kKillDelay,
                   [session] {
                       if (session->process->isRunning()) session->process->signal(SIGKILL);
                   })
        .detach();
}

ProcessBridgeClient::ProcessBridgeClient(MainLoop& loop, ConfigurationSource configuration)
    : impl_(std::make_shared<Impl>(loop, std::move(configuration))) {}

ProcessBridgeClient::~ProcessBridgeClient() {
    auto impl = impl_;
    impl->checkThread();
    impl->onFailure = nullptr;
    impl->stop();
    impl->onEvent = nullptr;
}

void ProcessBridgeClient::setOnEvent(EventHandler handler) {
    impl_->checkThread();
    impl_->onEvent = std::move(handler);
}

void ProcessBridgeClient::setOnFailure(FailureHandler handler) {
    impl_->checkThread();
    impl_->onFailure = std::move(handler);
}

std::optional<std::string> ProcessBridgeClient::start() {
    auto impl = impl_;  // held for the call: a callback may destroy this client
    impl->checkThread();
    return impl->start();
}

void ProcessBridgeClient::request(const std::string& op, nlohmann::json fields,
                                  double timeoutSeconds, Completion completion) {
    auto impl = impl_;
    impl->checkThread();
    impl->request(op, std::move(fields), timeoutSeconds, std::move(completion));
}

void ProcessBridgeClient::stop() {
    auto impl = impl_;
    impl->checkThread();
    impl->stop();
}

bool ProcessBridgeClient::isStarted() const {
    impl_->checkThread();
    return impl_->isStarted();
}

}  // namespace orvel
