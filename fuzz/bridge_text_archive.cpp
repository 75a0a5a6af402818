// What an Apple TV, or anything pretending to be one, may send as a text-input archive, and what
// our fake TV reads of ours: whatever reads as a field or an operation must write back to bytes
// that read the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "bridge/companion/TextInputArchive.hpp"

namespace {

constexpr std::size_t kMaxArchiveBytes = std::size_t{64} << 10;

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace Archive = orvel::TextInputArchive;
    const std::span<const std::uint8_t> input(data, size);
    if (const auto field = Archive::readField(input)) {
        check(field->sessionUuid.size() == 16);
        // Our classes may push a text near the limit over it.
        const auto again = Archive::field(field->sessionUuid, field->text);
        check(again.size() > kMaxArchiveBytes || Archive::readField(again) == field);
    }
    if (const auto operation = Archive::readOperation(input)) {
        check(operation->target.size() == 16);
        if (operation->clears) {
            check(Archive::readOperation(Archive::clear(operation->target)) ==
                  Archive::Operation{operation->target, true, std::nullopt});
        }
        if (operation->insertion) {
            const auto again = Archive::insert(operation->target, *operation->insertion);
            check(again.size() > kMaxArchiveBytes ||
                  Archive::readOperation(again) ==
                      Archive::Operation{operation->target, false, operation->insertion});
        }
    }
    return 0;
}
