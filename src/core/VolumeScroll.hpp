#pragma once
// VolumeScroll: turns scroll-wheel and trackpad deltas over the tray icon into whole volume steps,
// carrying fractions between events and forgetting them after a pause. A plain value owned by the
// view that receives the scroll events, used on the main thread; it reads no clock (the caller
// passes each event's time stamp) and ends with its owner.

namespace orvel {

class VolumeScroll {
public:
    static constexpr double kPauseSeconds = 0.3;  // a longer gap drops the carried fraction
    static constexpr double kPreciseScale = 10;   // trackpad points per step
    static constexpr double kMaxDelta = 1000;
    static constexpr int kMaxSteps = 3;

    // Steps for one event, -3 to 3, with the sign of `delta` (the caller decides which sign raises
    // the volume). `precise`: pixel-level deltas (trackpads, smooth mice). Momentum events and
    // events whose delta or time is not finite give 0 and change nothing.
    int steps(double delta, bool precise, bool momentum, double time);

    // Fraction of a step carried into the next event; strictly between -1 and 1.
    double accumulated() const { return accumulated_; }
    // Time stamp of the last event that counted.
    double lastTime() const { return lastTime_; }

private:
    double accumulated_ = 0;
    double lastTime_ = 0;
};

}  // namespace orvel
