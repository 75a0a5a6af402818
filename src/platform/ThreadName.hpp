#pragma once
// Names the calling thread after a queue label, as tools like top and gdb show it. The
// kernel keeps 15 bytes, so longer labels are cut to their first 15.

#include <string>

namespace orvel {

void nameCurrentThread(const std::string& label);

}  // namespace orvel
