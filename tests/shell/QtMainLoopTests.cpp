// The Qt loop keeps the MainLoop contract, and watches descriptors until cancelled.

#include <fcntl.h>
#include <unistd.h>

#include "../support/MainLoopContract.hpp"
#include "platform/UniqueFd.hpp"
#include "shell/QtMainLoop.hpp"

namespace orvel::test {
namespace {

using QtClock = RealClockFor<QtMainLoop>;
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, MainLoopContract, ::testing::Types<QtClock>);

TEST(QtMainLoop, WatchReportsDataAndHangUpUntilCancelled) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    QtClock clock;
    int calls = 0;
    CancelHandle watch = clock.loop.watchReadable(readEnd.get(), [&] {
        char byte;
        if (::read(readEnd.get(), &byte, 1) <= 0) watch.cancel();  // hung up: stop watching
        ++calls;
    });
    ASSERT_EQ(::write(writeEnd.get(), "x", 1), 1);
    EXPECT_TRUE(clock.runUntil([&] { return calls == 1; }));
    writeEnd.reset();
    EXPECT_TRUE(clock.runUntil([&] { return !watch.pending(); }));
    const int seen = calls;
    clock.runFor(0.05);
    EXPECT_EQ(calls, seen) << "a cancelled watch is never called again";
}

}  // namespace
}  // namespace orvel::test
