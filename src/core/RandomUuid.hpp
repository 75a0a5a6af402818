#pragma once
// Random (version 4) UUIDs in canonical upper-case form, e.g.
// "3F2504E0-4F89-41D3-9A0C-0305E82C3301". Drawn from the kernel's random source; any thread.

#include <string>

namespace orvel {

std::string randomUuid();

}  // namespace orvel
