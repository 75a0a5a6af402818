#pragma once
// Process-wide signal set-up that every program of ours does first thing in main(), before
// it starts threads: a write to a closed pipe or socket must fail with EPIPE, not kill us.
// Children get the default disposition back (see ChildProcess).

namespace orvel {

void ignoreSigpipe();

}  // namespace orvel
