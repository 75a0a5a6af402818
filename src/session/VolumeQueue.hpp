#pragma once
// VolumeQueue: the selected TV's two kinds of volume request, each with at most one on its
// way. Steps (positive: up) are coalesced into a count of at most twenty either way and sent
// one at a time; an absolute level keeps only the latest of a burst. Either kind cancels
// what the other has waiting, and a refused request drops what of its kind still waits.
//
//   queue.addSteps(+3);
//   if (auto step = queue.nextStep()) send(*step, [&](bool ok) { queue.stepAnswered(ok); ... });
//
// A plain value owned by CommandSender; loop thread only.

#include <optional>

namespace orvel {

class VolumeQueue {
public:
    static constexpr int kMaxQueuedSteps = 20;

    void addSteps(int steps);
    // The step (+1 or -1) to send now, marked as on its way; none while one is.
    std::optional<int> nextStep();
    void stepAnswered(bool accepted);

    void requestLevel(double level);
    // The level to send now, marked as on its way; none while one is.
    std::optional<double> nextLevel();
    void levelAnswered(bool accepted);
    bool levelOnItsWay() const { return levelSending_; }

    void clear() { *this = VolumeQueue(); }

private:
    int queuedSteps_ = 0;
    bool stepSending_ = false;
    std::optional<double> requestedLevel_;
    bool levelSending_ = false;
};

}  // namespace orvel
