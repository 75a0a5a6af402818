#include "session/VolumeQueue.hpp"

#include <algorithm>
#include <utility>

namespace orvel {

void VolumeQueue::addSteps(int steps) {
    requestedLevel_.reset();
    // Wide enough that no count of steps overflows before the clamp.
    const long long queued = static_cast<long long>(queuedSteps_) + steps;
    queuedSteps_ =
        static_cast<int>(std::clamp<long long>(queued, -kMaxQueuedSteps, kMaxQueuedSteps));
}

std::optional<int> VolumeQueue::nextStep() {
    if (stepSending_ || queuedSteps_ == 0) return std::nullopt;
    const int step = queuedSteps_ > 0 ? 1 : -1;
    queuedSteps_ -= step;
    stepSending_ = true;
    return step;
}

void VolumeQueue::stepAnswered(bool accepted) {
    stepSending_ = false;
    if (!accepted) queuedSteps_ = 0;
}

void VolumeQueue::requestLevel(double level) {
    queuedSteps_ = 0;
    requestedLevel_ = level;
}

std::optional<double> VolumeQueue::nextLevel() {
    if (levelSending_ || !requestedLevel_) return std::nullopt;
    levelSending_ = true;
    return std::exchange(requestedLevel_, std::nullopt);
}

void VolumeQueue::levelAnswered(bool accepted) {
    levelSending_ = false;
    if (!accepted) requestedLevel_.reset();
}

}  // namespace orvel
