#include "session/ObserverList.hpp"

#include <vector>

namespace orvel {

Subscription ObserverList::subscribe(std::function<void()> observer) {
    const auto id = nextId_++;
    observers_->emplace(id, std::make_shared<std::function<void()>>(std::move(observer)));
    return Subscription([weak = std::weak_ptr<Observers>(observers_), id] {
        if (auto observers = weak.lock()) observers->erase(id);
    });
}

void ObserverList::notify() {
    // Iterate over a copy of the ids: an observer may change the list.
    std::vector<std::uint64_t> ids;
    ids.reserve(observers_->size());
    for (const auto& entry : *observers_) ids.push_back(entry.first);
    auto observers = observers_;  // held: an observer may destroy our owner
    for (auto id : ids) {
        auto it = observers->find(id);
        if (it == observers->end()) continue;
        auto callback = it->second;  // held while it runs, even if it unsubscribes itself
        (*callback)();
    }
}

}  // namespace orvel
