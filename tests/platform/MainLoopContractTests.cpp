// The MainLoop contract (support/MainLoopContract.hpp) against the test loop on its virtual
// clock and the headless programs' real loop.

#include <functional>
#include <string>

#include "../support/MainLoopContract.hpp"
#include "platform/ManualLoop.hpp"
#include "platform/PollLoop.hpp"

namespace orvel::test {
namespace {

struct VirtualClock {
    static constexpr double kUnit = 1.0;
    ManualLoop loop{0};
    void runFor(double seconds) { loop.advance(seconds); }
    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done); }
};

using Clocks = ::testing::Types<VirtualClock, RealClockFor<PollLoop>>;
class ClockNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, VirtualClock> ? "ManualLoop" : "PollLoop";
    }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Loops, MainLoopContract, Clocks, ClockNames);

}  // namespace
}  // namespace orvel::test
