#pragma once
// Forwarding header until the includes name the new headers; delete after the merge.
#include "ProcessInspection.hpp"
#include "Waiting.hpp"
