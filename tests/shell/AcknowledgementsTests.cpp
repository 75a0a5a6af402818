// Where the notices are read from, and the sentence shown when they cannot be.

#include "shell/Acknowledgements.hpp"

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"

namespace orvel::test {
namespace {

const std::string kInstalled = "share/doc/orvel-remote/THIRD_PARTY_NOTICES.txt";

// The program's folder is <scratch>/bin, an installed tree's notices <scratch>/share/doc/….
TEST(Acknowledgements, ReadsTheFirstNoticesFileItFinds) {
    const struct {
        const char* name;
        std::function<void(const ScratchDir&)> arrange;
        std::string expected;  // empty: the fallback sentence
    } cases[] = {
        {"beside",
         [](const ScratchDir& s) {
             ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "zlib © Jean\n");
             ScratchDir::write(s / kInstalled, "installed");
         },
         "zlib © Jean\n"},
        {"in share/doc",
         [](const ScratchDir& s) { ScratchDir::write(s / kInstalled, "installed"); }, "installed"},
        {"empty beside falls through",
         [](const ScratchDir& s) {
             ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "");
             ScratchDir::write(s / kInstalled, "installed");
         },
         "installed"},
        {"missing", [](const ScratchDir&) {}, ""},
        {"too big",
         [](const ScratchDir& s) {
             ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "");
             std::filesystem::resize_file(s / "bin/THIRD_PARTY_NOTICES.txt",
                                          Acknowledgements::kMaxFileBytes + 1);
         },
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        std::filesystem::create_directories(scratch / "bin");
        c.arrange(scratch);
        EXPECT_EQ(Acknowledgements::text(scratch / "bin"),
                  c.expected.empty() ? std::string(Acknowledgements::kFallback) : c.expected);
    }
}

}  // namespace
}  // namespace orvel::test
