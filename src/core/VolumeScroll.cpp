#include "core/VolumeScroll.hpp"

#include <algorithm>
#include <cmath>

namespace orvel {

int VolumeScroll::steps(double delta, bool precise, bool momentum, double time) {
    // A bad time stamp would otherwise stick in lastTime_ and disable the pause test for good.
    if (momentum || !std::isfinite(delta) || !std::isfinite(time)) return 0;
    if (time - lastTime_ > kPauseSeconds) accumulated_ = 0;
    lastTime_ = time;

    const double scaled = precise ? delta / kPreciseScale : delta;
    const double total = std::clamp(scaled, -kMaxDelta, kMaxDelta) + accumulated_;
    const double whole = std::trunc(total);
    accumulated_ = total - whole;
    // Whole steps beyond the cap are dropped, not carried: one fling must not run the volume away.
    return static_cast<int>(std::clamp(whole, double{-kMaxSteps}, double{kMaxSteps}));
}

}  // namespace orvel
