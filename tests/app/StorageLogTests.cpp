#include "app/StorageLog.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(StorageLog, EachSentenceIsWrittenOnceWhenItFirstAppears) {
    std::vector<std::string> written;
    StorageLog log([&](const std::string& sentence) { written.push_back(sentence); });
    const std::vector<std::vector<std::string>> reports = {
        {"A.", "B."}, {"A.", "B."}, {"B."}, {}, {"A.", "C."}};
    for (const auto& problems : reports) log.report(problems);
    EXPECT_EQ(written, (std::vector<std::string>{"A.", "B.", "C."}));
}

TEST(StorageLog, TheLaunchWriterSaysTheSentenceOnStandardError) {
    ::testing::internal::CaptureStderr();
    StorageLog::writeToStandardError("The file was moved aside.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Orvel: The file was moved aside.\n");
}

}  // namespace
}  // namespace orvel
