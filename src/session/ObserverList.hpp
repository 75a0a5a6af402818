#pragma once
// ObserverList: callbacks told, with no arguments, that something they watch has changed.
// An observer may subscribe or unsubscribe others, or itself, from inside a notification:
// observers added during one are told next time, observers removed are not called again.
// Owned by the observed object; loop thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "session/Subscription.hpp"

namespace orvel {

class ObserverList {
public:
    Subscription subscribe(std::function<void()> observer);
    void notify();

private:
    using Observers = std::map<std::uint64_t, std::shared_ptr<std::function<void()>>>;
    std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
    std::uint64_t nextId_ = 0;
};

}  // namespace orvel
