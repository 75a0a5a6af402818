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

void CredentialQueue::open() {
    run(Initiator::kBackground, [](CredentialStore& store) { (void)store.open(); });
}

void CredentialQueue::load(const std::string& identifier, Initiator initiator,
                           LoadCompletion completion) {
    run(initiator,
        [loop = &loop_, identifier, completion = std::move(completion)](CredentialStore& store) {
            auto loaded = store.load(identifier);
            loop->post([completion, loaded = std::move(loaded)] {
                if (completion) completion(loaded);
            });
        });
}

void CredentialQueue::save(const std::string& identifier, CredentialSet credentials,
                           Initiator initiator, Completion completion) {
    run(initiator, [loop = &loop_, identifier, credentials = std::move(credentials),
                    completion = std::move(completion)](CredentialStore& store) {
        auto error = store.save(identifier, credentials);
        loop->post([completion, error] {
            if (completion) completion(error);
        });
    });
}

void CredentialQueue::remove(const std::string& identifier, Initiator initiator,
                             Completion completion) {
    run(initiator,
        [loop = &loop_, identifier, completion = std::move(completion)](CredentialStore& store) {
            auto error = store.remove(identifier);
            loop->post([completion, error] {
                if (completion) completion(error);
            });
        });
}

}  // namespace orvel
