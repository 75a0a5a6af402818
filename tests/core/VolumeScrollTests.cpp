#include "core/VolumeScroll.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace orvel {
namespace {

struct Event {
    double delta;
    bool precise;
    double time;
    int steps;
};

struct ScrollCase {
    const char* name;
    std::vector<Event> events;
    double carried;  // accumulated after the last event
};

TEST(VolumeScroll, CarriesFractionsAndDropsThemAfterAPause) {
    const std::vector<ScrollCase> cases = {
        {"wheel notches", {{1, false, 1.00, 1}, {1, false, 1.05, 1}}, 0},
        {"small wheel deltas add up",
         {{.4, false, 1, 0}, {.4, false, 1.05, 0}, {.4, false, 1.1, 1}},
         .2},
        {"trackpad scaled by ten", {{4, true, 1, 0}, {4, true, 1.01, 0}, {4, true, 1.02, 1}}, .2},
        {"gap over 0.3 s drops the carry",
         {{4, true, 1, 0}, {4, true, 1.01, 0}, {4, true, 1.32, 0}},
         .4},
        {"gap of exactly 0.3 s keeps it", {{.5, false, 0, 0}, {.5, false, .3, 1}}, 0},
        {"cap drops whole steps", {{100, true, 1, 3}}, 0},
        {"huge wheel delta clamped", {{5000, false, 1, 3}, {.5, false, 1.1, 0}}, .5},
        {"negative keeps its sign", {{-2.7, false, 1, -2}, {-.4, false, 1.1, -1}}, -.1},
    };
    for (const auto& c : cases) {
        VolumeScroll scroll;
        for (const auto& e : c.events) {
            EXPECT_EQ(scroll.steps(e.delta, e.precise, false, e.time), e.steps)
                << c.name << " at " << e.time;
        }
        EXPECT_NEAR(scroll.accumulated(), c.carried, 1e-9) << c.name;
    }
}

TEST(VolumeScroll, IgnoredEventsChangeNothing) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double delta;
        bool momentum;
        double time;
    } ignored[] = {{5, true, 1.2}, {NAN, false, 1.2}, {inf, false, 1.2}, {1, false, NAN}};
    for (const auto& e : ignored) {
        VolumeScroll scroll;
        ASSERT_EQ(scroll.steps(.6, false, false, 1.0), 0);
        EXPECT_EQ(scroll.steps(e.delta, false, e.momentum, e.time), 0);
        EXPECT_EQ(scroll.lastTime(), 1.0);
        // The gap is measured from 1.0, not from the ignored event, so the carry is dropped.
        EXPECT_EQ(scroll.steps(.6, false, false, 1.4), 0) << e.delta << " " << e.time;
        EXPECT_NEAR(scroll.accumulated(), .6, 1e-9);
    }
}

}  // namespace
}  // namespace orvel
