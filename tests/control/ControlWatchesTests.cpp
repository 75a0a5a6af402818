#include "control/ControlWatches.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "../session/SessionHarness.hpp"
#include "../session/SimBridge.hpp"

namespace orvel::control_watches_test {
namespace {

using nlohmann::json;
using test::kBedroom;
using test::kLiving;

class RecordingStream final : public ControlWatches::Stream {
public:
    void send(const json& line) override {
        if (!closed) lines.push_back(line);
    }
    void closeAfterSending() override { closed = true; }
    bool isClosed() const override { return closed; }
    std::vector<json> lines;
    bool closed = false;
};

class ControlWatchesTest : public ::testing::Test {
protected:
    void make(const json& stored) {
        h = std::make_unique<test::SessionHarness>(stored);
        h->makeWith(std::make_unique<test::SimBridge>(h->loop, Household::builtIn()));
        h->store->start();
        h->loop.runUntilIdle();
        watches = ControlWatches::create(h->loop, h->store);
    }
    std::shared_ptr<RecordingStream> watch(const json& request) {
        auto stream = std::make_shared<RecordingStream>();
        watches->start(request, stream);
        h->loop.runUntilIdle();
        return stream;
    }
    void send(RemoteAction action, CommandOptions options = {}) {
        h->store->send(action, std::move(options));
        h->loop.advance(1);
    }

    std::unique_ptr<test::SessionHarness> h;
    std::shared_ptr<ControlWatches> watches;
};

// A refused watch is ControlHandler's, on a real stream.
TEST_F(ControlWatchesTest, SendsChangesButNotThePositionAlone) {
    make({{"pairedDevices", test::savedList({kLiving, kBedroom})}, {"lastDevice", kBedroom.id}});
    auto named = watch({{"tv", "Bedroom"}});
    auto selected = watch(json::object());
    ASSERT_EQ(named->lines.size(), 1u);

    send(RemoteAction::launchApp, {.app = "netflix"});
    send(RemoteAction::play);
    const auto playing = named->lines.size();
    ASSERT_GT(playing, 1u);
    EXPECT_EQ(named->lines.back()["tv"]["playing"], true);

    const auto position = h->state().progress.at(kBedroom.id).position;
    send(RemoteAction::skipForward);
    ASSERT_NE(h->state().progress.at(kBedroom.id).position, position) << "the TV did report";
    EXPECT_EQ(named->lines.size(), playing);

    send(RemoteAction::pause);
    ASSERT_EQ(named->lines.size(), playing + 1);
    EXPECT_EQ(named->lines.back()["tv"]["playing"], false);
    EXPECT_EQ(selected->lines, named->lines);

    h->store->connect(kLiving);
    h->loop.runUntilIdle();
    EXPECT_EQ(selected->lines.back()["tv"]["name"], "Living Room");
    EXPECT_EQ(named->lines.back()["tv"]["name"], "Bedroom TV");
}

TEST_F(ControlWatchesTest, ClosedStreamsAreLetGoAndANewWatchStillHearsChanges) {
    make({{"pairedDevices", test::savedList({kBedroom})}});
    auto waiting = watch(json::object());
    EXPECT_TRUE(waiting->lines.empty()) << "nothing to say until a TV is selected";
    h->store->connect(kBedroom);
    h->loop.runUntilIdle();
    ASSERT_FALSE(waiting->lines.empty());

    std::weak_ptr<RecordingStream> gone = waiting;
    waiting->closed = true;
    waiting.reset();
    send(RemoteAction::launchApp, {.app = "netflix"});
    send(RemoteAction::play);
    EXPECT_TRUE(gone.expired());

    auto later = watch(json::object());
    send(RemoteAction::pause);
    ASSERT_EQ(later->lines.size(), 2u);
    EXPECT_EQ(later->lines[0]["tv"]["playing"], true);
    EXPECT_EQ(later->lines[1]["tv"]["playing"], false);
}

}  // namespace
}  // namespace orvel::control_watches_test
