// The files a user or another program may have edited: the settings file and our autostart
// entry. Any bytes must decode to values or to "unusable", never crash or hang.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Defaults.hpp"
#include "platform/DesktopEntry.hpp"
#include "platform/JsonFile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (auto values = orvel::Defaults::decode(text)) {
        // Printing walks every level, as a save does.
        (void)orvel::JsonFile::encodeLenient(*values);
        (void)orvel::JsonFile::encodeStrict(*values);
    }
    (void)orvel::DesktopEntry::startsAtLogin(text);
    (void)orvel::DesktopEntry::execArgument(text);
    return 0;
}
