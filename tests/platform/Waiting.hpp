#pragma once
// Forwarding header until the includes name tests/support; delete after the merge.
#include "../support/ProcessInspection.hpp"
#include "../support/Waiting.hpp"
