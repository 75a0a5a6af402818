// Where the notices are read from, and the sentence shown when they cannot be.

#include "shell/Acknowledgements.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "../support/ScratchDir.hpp"

namespace orvel::test {
namespace {

// The program's folder is <scratch>/bin, an installed tree's notices <scratch>/share/doc/….
struct NoticesCase {
    const char* name;
    std::function<void(const ScratchDir&)> arrange;
    std::string expected;  // empty: the fallback sentence
};

class AcknowledgementsText : public ::testing::TestWithParam<NoticesCase> {};

TEST_P(AcknowledgementsText, ReadsTheFirstNoticesFileItFinds) {
    ScratchDir scratch;
    std::filesystem::create_directories(scratch / "bin");
    GetParam().arrange(scratch);
    const std::string expected = GetParam().expected.empty()
                                     ? std::string(Acknowledgements::kFallback)
                                     : GetParam().expected;
    EXPECT_EQ(Acknowledgements::text(scratch / "bin"), expected);
}

const std::string kInstalled = "share/doc/orvel-remote/THIRD_PARTY_NOTICES.txt";

INSTANTIATE_TEST_SUITE_P(
    Places, AcknowledgementsText,
    ::testing::Values(
        NoticesCase{"Beside",
                    [](const ScratchDir& s) {
                        ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "zlib © Jean\n");
                        ScratchDir::write(s / kInstalled, "installed");
                    },
                    "zlib © Jean\n"},
        NoticesCase{"InShareDoc",
                    [](const ScratchDir& s) { ScratchDir::write(s / kInstalled, "installed"); },
                    "installed"},
        NoticesCase{"EmptyBesideFallsThrough",
                    [](const ScratchDir& s) {
                        ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "");
                        ScratchDir::write(s / kInstalled, "installed");
                    },
                    "installed"},
        NoticesCase{"Missing", [](const ScratchDir&) {}, ""},
        NoticesCase{"TooBig",
                    [](const ScratchDir& s) {
                        ScratchDir::write(s / "bin/THIRD_PARTY_NOTICES.txt", "");
                        std::filesystem::resize_file(s / "bin/THIRD_PARTY_NOTICES.txt",
                                                     Acknowledgements::kMaxFileBytes + 1);
                    },
                    ""}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace orvel::test
