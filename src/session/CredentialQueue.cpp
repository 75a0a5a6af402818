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
void CredentialQueue::load(const std::string& identifier, LoadCompletion completion) {
    run([store = &store_, loop = &loop_, identifier, completion = std::move(completion)] {
        auto loaded = store->load(identifier);
        loop->post([completion, loaded = std::move(loaded)] {
            if (completion) completion(loaded);
        });
    });
}

void CredentialQueue::save(const std::string& identifier, CredentialSet credentials,
                           Completion completion) {
    run([store = &store_, loop = &loop_, identifier, credentials = std::move(credentials),
         completion = std::move(completion)] {
        auto error = store->save(identifier, credentials);
        loop->post([completion, error] {
            if (completion) completion(error);
        });
    });
}

void CredentialQueue::remove(const std::string& identifier, Completion completion) {
    run([store = &store_, loop = &loop_, identifier, completion = std::move(completion)] {
        auto error = store->remove(identifier);
        loop->post([completion, error] {
            if (completion) completion(error);
        });
    });
}

}  // namespace orvel
