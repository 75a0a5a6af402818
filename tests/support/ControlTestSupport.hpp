#pragma once
// Forwarding header until the includes and names are moved over; delete after the merge.
#include <functional>

#include "ControlClient.hpp"
#include "LoopThread.hpp"
#include "ScopedEnvironment.hpp"
#include "TempDataHome.hpp"
#include "Waiting.hpp"

namespace orvel::testing {
using test::Client;
using test::LoopThread;
using test::TempDataHome;
using ScopedEnv = test::ScopedEnvironment;
inline bool waitUntil(const std::function<bool()>& done, double seconds = 5.0) {
    return test::eventually(done, seconds);
}
}  // namespace orvel::testing
