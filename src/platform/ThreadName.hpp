#pragma once
// Names the calling thread after a queue label, as tools like top and gdb show it. The
// kernel keeps 15 bytes, so a longer dotted label loses its leading parts until it fits
// ("quillon.orvel.bridge.reader" -> "bridge.reader"): the end is what tells threads apart.
// A single part that is still too long is cut to its first 15 bytes.

#include <string>

namespace orvel {

std::string threadNameFor(const std::string& label);
void nameCurrentThread(const std::string& label);

}  // namespace orvel
