#include "platform/Uptime.hpp"

#include <ctime>

namespace orvel::Uptime {

double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace orvel::Uptime
