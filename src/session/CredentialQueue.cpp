#include "session/CredentialQueue.hpp"

#include "platform/SerialQueue.hpp"

namespace orvel {

CredentialQueue::CredentialQueue(MainLoop& loop, CredentialStore& store, Executor executor)
    : loop_(loop), store_(store), executor_(std::move(executor)) {
    if (!executor_) queue_ = std::make_unique<SerialQueue>(kQueueLabel);
}

CredentialQueue::~CredentialQueue() = default;

// The work items capture the store and the loop by pointer: both outlive this object, and the
// queue's destructor finishes its items before it returns.
void CredentialQueue::run(Initiator initiator, std::function<void(CredentialStore&)> call) {
    auto work = [store = &store_, initiator, call = std::move(call)] {
        // A refusal needs no answer of its own: the call then fails as locked.
        if (initiator == Initiator::kUser) (void)store->unlock();
        call(*store);
    };
    if (queue_) {
        queue_->async(std::move(work));
    } else {
        executor_(std::move(work));
    }
}

// The work items capture the store and the loop by pointer: both outlive this object, and the
// queue's destructor finishes its items before it returns.
template <typename Call, typename Done>
void CredentialQueue::dispatch(Initiator initiator, Call call, Done completion) {
    run(initiator, [loop = &loop_, report = onProblems_, call = std::move(call),
                    completion = std::move(completion)](CredentialStore& store) {
        auto result = call(store);
        auto problems = store.takeProblems();
        loop->post(
            [report, problems = std::move(problems), completion, result = std::move(result)] {
                if (report && !problems.empty()) report(problems);
                if (completion) completion(result);
            });
    });
}

void CredentialQueue::open(std::function<void(const std::string& description)> opened) {
    dispatch(
        Initiator::kBackground,
        [](CredentialStore& store) {
            static_cast<void>(store.open());
            return store.description();
        },
        std::function<void(const std::string&)>(
            [opened = std::move(opened)](const std::string& description) {
                if (opened) opened(description);
            }));
}

void CredentialQueue::load(const std::string& identifier, Initiator initiator,
                           LoadCompletion completion) {
    dispatch(
        initiator, [identifier](CredentialStore& store) { return store.load(identifier); },
        std::move(completion));
}

void CredentialQueue::save(const std::string& identifier, CredentialSet credentials,
                           Initiator initiator, Completion completion) {
    dispatch(
        initiator,
        [identifier, credentials = std::move(credentials)](CredentialStore& store) {
            return store.save(identifier, credentials);
        },
        std::move(completion));
}

void CredentialQueue::remove(const std::string& identifier, Initiator initiator,
                             Completion completion) {
    dispatch(
        initiator, [identifier](CredentialStore& store) { return store.remove(identifier); },
        std::move(completion));
}

}  // namespace orvel
