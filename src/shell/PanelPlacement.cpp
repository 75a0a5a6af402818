#include "shell/PanelPlacement.hpp"

#include <algorithm>
#include <cmath>

namespace orvel::PanelPlacement {

Placement place(Rect anchor, Size panel, Rect screen, Rect available) {
    // The right margin is applied last so it wins on a screen narrower than the panel.
    const int x = std::min(std::max(anchor.left(), screen.left() + kScreenMargin),
                           screen.right() - panel.width - kScreenMargin);
    // Twice the centres, to stay in integers.
    const bool upperHalf = anchor.top() + anchor.bottom() < screen.top() + screen.bottom();
    if (upperHalf) {
        const int top = std::max(available.top(), anchor.bottom());
        return {{x, top, panel.width, panel.height}, Edge::top};
    }
    const int bottom = std::min(available.bottom(), anchor.top());
    return {{x, bottom - panel.height, panel.width, panel.height}, Edge::bottom};
}

Rect fallbackAnchor(Rect screen, std::optional<double> offset) {
    const double wanted = offset.value_or(screen.width - 180.0);
    // No lower bound, but a value an int can hold: the panel is pulled on screen by place().
    const double centre = std::clamp(wanted, -1e6, static_cast<double>(screen.width - 16));
    const int x = screen.left() + static_cast<int>(std::lround(centre)) - kAnchorWidth / 2;
    return {x, screen.top(), kAnchorWidth, 1};
}

double anchorOffset(Rect anchor, Rect screen) {
    return anchor.left() + anchor.width / 2.0 - screen.left();
}

Rect refit(Rect frame, Edge edge, Size size) {
    const int top = edge == Edge::top ? frame.top() : frame.bottom() - size.height;
    return {frame.left(), top, size.width, size.height};
}

}  // namespace orvel::PanelPlacement
