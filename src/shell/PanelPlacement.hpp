#pragma once
// PanelPlacement: where the remote panel goes, as plain arithmetic on screen rectangles (y grows
// downwards, as in Qt), so every case can be checked without a screen. The panel hangs from the
// top bar under the tray's anchor, or stands on the bottom bar above it when the tray is at the
// bottom; it keeps 6 pixels from both sides of the screen, the right margin winning.
//
//   auto placed = PanelPlacement::place(anchor, {280, 400}, screen, available);
//   auto anchor = PanelPlacement::fallbackAnchor(screen, defaults.doubleValue(key));
//
// Pure: any thread, nothing to own or end.

#include <optional>

namespace orvel::PanelPlacement {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// right() and bottom() are one past the last pixel, so right() - left() is the width.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int left() const { return x; }
    int top() const { return y; }
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

// Which edge of the panel stays put when its content grows.
enum class Edge { top, bottom };

struct Placement {
    Rect frame;
    Edge kept = Edge::top;
    bool operator==(const Placement&) const = default;
};

inline constexpr int kScreenMargin = 6;
// The stand-in for a tray icon that cannot be seen: this wide, one pixel high.
inline constexpr int kAnchorWidth = 22;

// Under the anchor when it lies in the upper half of the screen (not above the available area's
// top), else above it (not below the available area's bottom).
Placement place(Rect anchor, Size panel, Rect screen, Rect available);

// Where the tray icon was last seen, `offset` pixels from the screen's left edge (default: 180
// from the right edge), at the top of the screen. The offset is kept 16 pixels inside the right
// edge; there is no lower bound.
Rect fallbackAnchor(Rect screen, std::optional<double> offset);

// The anchor's centre from the screen's left edge: what fallbackAnchor takes next time.
double anchorOffset(Rect anchor, Rect screen);

// The frame of that size that keeps `edge` of `frame` where it is (and the left edge).
Rect refit(Rect frame, Edge edge, Size size);

}  // namespace orvel::PanelPlacement
