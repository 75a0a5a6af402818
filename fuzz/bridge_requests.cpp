// Request lines from the application, as the bridge reads them, against the built-in household.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bridge/protocol/Dispatcher.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"
#include "platform/ManualLoop.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvel::ManualLoop loop;
    auto household = orvel::Household::builtIn();
    auto dispatcher = orvel::Dispatcher::create(
        loop, std::make_unique<orvel::SimBackend>(loop, std::move(household.tvs)), {},
        {[](std::string_view) {}, [](int) {}});
    dispatcher->receive(std::string_view(reinterpret_cast<const char*>(data), size));
    loop.advance(3600);  // let playback reach its end
    return 0;
}
