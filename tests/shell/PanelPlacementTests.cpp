// Where the panel goes: beside the tray but on screen, under a top bar or above a bottom one,
// and where the tray was last seen when it cannot be seen now.

#include "shell/PanelPlacement.hpp"

#include <gtest/gtest.h>

namespace orvel::PanelPlacement {
namespace {

TEST(PanelPlacement, KeepsThePanelOnScreenBesideItsAnchor) {
    const Rect wide{0, 0, 1440, 900};
    const Rect belowBar{0, 28, 1440, 872};
    const Rect full{0, 0, 1920, 1080};
    const Rect aboveBar{0, 0, 1920, 1048};
    const Rect narrow{0, 0, 200, 600};
    const Rect second{1440, 0, 1920, 1080};
    const Rect secondBar{1440, 32, 1920, 1048};
    const struct {
        const char* name;
        Rect anchor, screen, available;
        Placement expected;
    } cases[] = {
        {"RightMarginWins", {1300, 0, 22, 28}, wide, belowBar, {{1154, 28, 280, 400}, Edge::top}},
        {"LeftMargin", {2, 0, 22, 28}, wide, belowBar, {{6, 28, 280, 400}, Edge::top}},
        {"AnchorBelowTheBar", {500, 40, 22, 1}, wide, belowBar, {{500, 41, 280, 400}, Edge::top}},
        {"NarrowScreen", {10, 0, 22, 1}, narrow, narrow, {{-86, 1, 280, 400}, Edge::top}},
        {"BottomTray", {900, 1060, 22, 1}, full, aboveBar, {{900, 648, 280, 400}, Edge::bottom}},
        {"AboveTheBar", {900, 1000, 22, 1}, full, aboveBar, {{900, 600, 280, 400}, Edge::bottom}},
        {"SecondScreen", {3000, 0, 22, 1}, second, secondBar, {{3000, 32, 280, 400}, Edge::top}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(place(c.anchor, {280, 400}, c.screen, c.available), c.expected) << c.name;
    }
}

TEST(PanelPlacement, FallbackStandsWhereTheTrayWasLastSeen) {
    const Rect screen{0, 0, 1512, 982};
    EXPECT_EQ(fallbackAnchor(screen, std::nullopt), (Rect{1321, 0, 22, 1}));
    EXPECT_EQ(fallbackAnchor(screen, 1600), (Rect{1485, 0, 22, 1})) << "clamped to 1496";
    EXPECT_EQ(fallbackAnchor(screen, 2), (Rect{-9, 0, 22, 1})) << "no lower bound";
    const Rect right{1440, 100, 1512, 982};
    const Rect tray{2600, 100, 22, 1};
    EXPECT_DOUBLE_EQ(anchorOffset(tray, right), 1171);
    EXPECT_EQ(fallbackAnchor(right, anchorOffset(tray, right)), tray);
}

TEST(PanelPlacement, RefitKeepsTheHungEdge) {
    const Rect frame{100, 28, 280, 400};
    EXPECT_EQ(refit(frame, Edge::top, {280, 460}), (Rect{100, 28, 280, 460}));
    EXPECT_EQ(refit(frame, Edge::bottom, {280, 460}), (Rect{100, -32, 280, 460}));
}

}  // namespace
}  // namespace orvel::PanelPlacement
