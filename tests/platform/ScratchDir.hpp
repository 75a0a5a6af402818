#pragma once
// Forwarding header until the includes name tests/support; delete after the merge.
#include "../support/ScratchDir.hpp"

namespace orvel::testing {
using test::ScratchDir;
}  // namespace orvel::testing
