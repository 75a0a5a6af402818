// Where the panel goes: beside the tray but on screen, under a top bar or above a bottom one,
// and where the tray was last seen when it cannot be seen now.

#include "shell/PanelPlacement.hpp"

#include <optional>

#include <gtest/gtest.h>

namespace orvel::PanelPlacement {
namespace {

constexpr Rect kWide{0, 0, 1440, 900};
constexpr Rect kWideBelowTopBar{0, 28, 1440, 872};

struct PlaceCase {
    const char* name;
    Rect anchor;
    Size panel;
    Rect screen;
    Rect available;
    Placement expected;
};

class Place : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(Place, KeepsThePanelOnScreenBesideItsAnchor) {
    const auto& c = GetParam();
    EXPECT_EQ(place(c.anchor, c.panel, c.screen, c.available), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Place,
                         ::testing::Values(PlaceCase{"RightMarginWins",
                                                     {1300, 0, 22, 28},
                                                     {280, 400},
                                                     kWide,
                                                     kWideBelowTopBar,
                                                     {{1154, 28, 280, 400}, Edge::top}},
                                           PlaceCase{"LeftMargin",
                                                     {2, 0, 22, 28},
                                                     {280, 400},
                                                     kWide,
                                                     kWideBelowTopBar,
                                                     {{6, 28, 280, 400}, Edge::top}},
                                           PlaceCase{"AlignedWithAnchor",
                                                     {500, 0, 22, 28},
                                                     {280, 400},
                                                     kWide,
                                                     kWideBelowTopBar,
                                                     {{500, 28, 280, 400}, Edge::top}},
                                           PlaceCase{"NarrowScreenRightWins",
                                                     {10, 0, 22, 1},
                                                     {300, 100},
                                                     {0, 0, 200, 600},
                                                     {0, 0, 200, 600},
                                                     {{-106, 1, 300, 100}, Edge::top}},
                                           PlaceCase{"AnchorBelowTheBar",
                                                     {500, 40, 22, 1},
                                                     {280, 400},
                                                     kWide,
                                                     kWideBelowTopBar,
                                                     {{500, 41, 280, 400}, Edge::top}},
                                           PlaceCase{"TrayAtTheBottom",
                                                     {900, 1060, 22, 1},
                                                     {280, 400},
                                                     {0, 0, 1920, 1080},
                                                     {0, 0, 1920, 1048},
                                                     {{900, 648, 280, 400}, Edge::bottom}},
                                           PlaceCase{"BottomAnchorAboveTheBar",
                                                     {900, 1000, 22, 1},
                                                     {280, 400},
                                                     {0, 0, 1920, 1080},
                                                     {0, 0, 1920, 1048},
                                                     {{900, 600, 280, 400}, Edge::bottom}},
                                           PlaceCase{"SecondScreen",
                                                     {3000, 0, 22, 1},
                                                     {280, 400},
                                                     {1440, 0, 1920, 1080},
                                                     {1440, 32, 1920, 1048},
                                                     {{3000, 32, 280, 400}, Edge::top}}),
                         [](const auto& each) { return std::string(each.param.name); });

struct FallbackCase {
    const char* name;
    Rect screen;
    std::optional<double> offset;
    Rect expected;
};

class Fallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(Fallback, StandsWhereTheTrayWasLastSeen) {
    const auto& c = GetParam();
    EXPECT_EQ(fallbackAnchor(c.screen, c.offset), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fallback,
    ::testing::Values(FallbackCase{"NoOffset", {0, 0, 1512, 982}, std::nullopt, {1321, 0, 22, 1}},
                      FallbackCase{"ClampedRight", {0, 0, 1512, 982}, 1600, {1485, 0, 22, 1}},
                      FallbackCase{"Stored", {0, 0, 1512, 982}, 300, {289, 0, 22, 1}},
                      FallbackCase{"NoLowerBound", {0, 0, 1512, 982}, 2, {-9, 0, 22, 1}},
                      FallbackCase{
                          "OffsetFromScreenLeft", {1440, 100, 1512, 982}, 300, {1729, 100, 22, 1}}),
    [](const auto& each) { return std::string(each.param.name); });

TEST(PanelPlacement, AnchorOffsetIsWhatTheFallbackStandsOn) {
    const Rect screen{1440, 0, 1512, 982};
    const Rect tray{2600, 0, 22, 1};
    const double offset = anchorOffset(tray, screen);
    EXPECT_DOUBLE_EQ(offset, 1171);
    EXPECT_EQ(fallbackAnchor(screen, offset), tray);
}

TEST(PanelPlacement, RefitKeepsTheHungEdge) {
    const Rect frame{100, 28, 280, 400};
    EXPECT_EQ(refit(frame, Edge::top, {280, 460}), (Rect{100, 28, 280, 460}));
    EXPECT_EQ(refit(frame, Edge::bottom, {280, 460}), (Rect{100, -32, 280, 460}));
}

}  // namespace
}  // namespace orvel::PanelPlacement
