// FirstHotKeyBackend: the first backend that starts takes every later call; when all fail the
// last one's failure is the answer, and a new start chooses again from the top.

#include <gtest/gtest.h>

#include "FakeHotKeyBackend.hpp"
#include "input/FirstHotKeyBackend.hpp"

namespace orvel::test {
namespace {

using Failure = HotKeyBackend::StartFailure;

TEST(FirstHotKeyBackend, TheFirstThatStartsTakesTheGrabs) {
    struct Row {
        const char* name;
        std::vector<std::optional<Failure>> failures;  // one fake per entry
        std::optional<std::size_t> chosen;
        std::optional<Failure> answer;
    };
    const Failure unsupported{.unsupported = true};
    const Failure broken{.code = 5};
    const Row rows[] = {
        {"none at all", {}, std::nullopt, unsupported},
        {"the first", {std::nullopt, std::nullopt}, 0, std::nullopt},
        {"past an unsupported one", {unsupported, std::nullopt}, 1, std::nullopt},
        {"every one failing", {unsupported, broken}, std::nullopt, broken},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::unique_ptr<HotKeyBackend>> list;
        std::vector<FakeHotKeyBackend*> fakes;
        for (const auto& failure : row.failures) {
            auto fake = std::make_unique<FakeHotKeyBackend>();
            fake->startFailure = failure;
            fakes.push_back(fake.get());
            list.push_back(std::move(fake));
        }
        FirstHotKeyBackend backend(std::move(list));
        EXPECT_EQ(backend.start([](std::uint32_t, bool) {}), row.answer);
        EXPECT_EQ(backend.chosen(), row.chosen);
        const auto grabbed = backend.grab(KeyboardShortcut::kDefault, 1);
        EXPECT_EQ(std::holds_alternative<HotKeyBackend::Token>(grabbed), row.chosen.has_value());
        for (std::size_t i = 0; i < fakes.size(); ++i) {
            const bool tried = !row.chosen || i <= *row.chosen;
            const auto calls = fakes[i]->takeCalls();
            EXPECT_EQ(!calls.empty(), tried) << "fake " << i;
            EXPECT_EQ(calls.size() > 1, row.chosen == i) << "only the chosen one grabs";
        }
    }
}

TEST(FirstHotKeyBackend, AStartAfterAStopChoosesAgainFromTheTop) {
    auto portal = std::make_unique<FakeHotKeyBackend>();
    auto* first = portal.get();
    first->startFailure = Failure{.unsupported = true};
    std::vector<std::unique_ptr<HotKeyBackend>> list;
    list.push_back(std::move(portal));
    list.push_back(std::make_unique<FakeHotKeyBackend>());
    FirstHotKeyBackend backend(std::move(list));
    ASSERT_FALSE(backend.start([](std::uint32_t, bool) {}));
    EXPECT_EQ(backend.chosen(), 1u);
    backend.stop();
    EXPECT_EQ(backend.chosen(), std::nullopt);
    first->startFailure.reset();  // the portal came up meanwhile
    ASSERT_FALSE(backend.start([](std::uint32_t, bool) {}));
    EXPECT_EQ(backend.chosen(), 0u);
}

}  // namespace
}  // namespace orvel::test
