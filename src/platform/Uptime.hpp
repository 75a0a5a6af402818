#pragma once
// Uptime: CLOCK_MONOTONIC in seconds, the one clock compared across TVs and events.

namespace orvel::Uptime {

double now();

}  // namespace orvel::Uptime
