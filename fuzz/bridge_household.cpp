// Household files given to the bridge through ORVEL_SIMULATE.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bridge/sim/Household.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)orvel::Household::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
