#include "session/CredentialQueue.hpp"

#include "platform/SerialQueue.hpp"

namespace orvel {

CredentialQueue::CredentialQueue(MainLoop& loop, CredentialStore& store, Executor executor)
    : loop_(loop), store_(store), executor_(std::move(executor)) {
    if (!executor_) queue_ = std::make_unique<SerialQueue>(kQueueLabel);
}

CredentialQueue::~CredentialQueue() = default;

void CredentialQueue::run(std::function<void()> work) {
    if (queue_) {
        queue_->async(std::move(work));
    } else {
        executor_(std::move(work));
    }
}

// The work items capture the store and the loop by pointer: both outlive this object, and the
// queue's destructor finishes its items before it returns.
template <typename Call, typename Done>
void CredentialQueue::dispatch(Call call, Done completion) {
    run([store = &store_, loop = &loop_, report = onProblems_, call = std::move(call),
         completion = std::move(completion)] {
        auto result = call(*store);
        auto problems = store->takeProblems();
        loop->post(
            [report, problems = std::move(problems), completion, result = std::move(result)] {
                if (report && !problems.empty()) report(problems);
                if (completion) completion(result);
            });
    });
}

void CredentialQueue::load(const std::string& identifier, LoadCompletion completion) {
    dispatch([identifier](CredentialStore& store) { return store.load(identifier); },
             std::move(completion));
}

void CredentialQueue::save(const std::string& identifier, CredentialSet credentials,
                           Completion completion) {
    dispatch([identifier, credentials = std::move(credentials)](
                 CredentialStore& store) { return store.save(identifier, credentials); },
             std::move(completion));
}

void CredentialQueue::remove(const std::string& identifier, Completion completion) {
    dispatch([identifier](CredentialStore& store) { return store.remove(identifier); },
             std::move(completion));
}

}  // namespace orvel
