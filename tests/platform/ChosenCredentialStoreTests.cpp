// The choice between the keyring and the file, and the move from one to the other, with an
// in-memory store standing in for the keyring (the real one: SecretServiceCredentialStoreTests).

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../support/ScratchDir.hpp"
#include "platform/ChosenCredentialStore.hpp"
#include "platform/MemoryCredentialStore.hpp"

namespace orvel {
namespace {

using nlohmann::json;

class ChosenStoreTest : public ::testing::Test {
protected:
    ChosenStoreTest() {
        auto memory = std::make_unique<MemoryCredentialStore>();
        keyring = memory.get();
        store = std::make_unique<ChosenCredentialStore>(std::move(memory), folder);
    }
    void plantFile(const json& entries) { test::ScratchDir::write(file, entries.dump()); }
    json fileEntries() const { return json::parse(test::ScratchDir::read(file)); }

    test::ScratchDir dir;
    std::string folder = dir / "data/Orvel Remote";
    std::string file = folder + "/credentials.json";
    MemoryCredentialStore* keyring;
    std::unique_ptr<ChosenCredentialStore> store;
};

// The file is written only while the keyring is not used: its set is the newer one.
TEST_F(ChosenStoreTest, TheFileMovesIntoTheKeyringAndItsSetWins) {
    plantFile({{"sim:kitchen", {{"Companion", "k"}}},
               {"sim:living-room", {{"AirPlay", "paired again"}}},
               {"sim:damaged", {{"AirPlay", 5}}}});
    ASSERT_EQ(keyring->save("sim:living-room", {{"AirPlay", "old"}}), std::nullopt);
    EXPECT_EQ(store->kind(), "none");
    ASSERT_TRUE(store->open());
    EXPECT_EQ(store->kind(), "memory");
    EXPECT_EQ(store->keyringProblem(), "");
    EXPECT_EQ(keyring->contents(), (std::map<std::string, CredentialSet>{
                                       {"sim:kitchen", {{"Companion", "k"}}},
                                       {"sim:living-room", {{"AirPlay", "paired again"}}}}));
    EXPECT_EQ(fileEntries(), json({{"sim:damaged", {{"AirPlay", 5}}}}));
}

TEST_F(ChosenStoreTest, AnEntryLeavesTheFileOnlyOnceTheKeyringTookIt) {
    plantFile({{"sim:kitchen", {{"Companion", "k"}}}, {"sim:living-room", {{"AirPlay", "a"}}}});
    keyring->becomeLocked(/*dismissed=*/true);
    ASSERT_TRUE(store->open());
    EXPECT_EQ(fileEntries().size(), 2u);
    // Still paired while the keyring stays locked.
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "k"}}));
    EXPECT_TRUE(store->load("sim:bedroom").error);
    EXPECT_TRUE(store->unlock());
    EXPECT_EQ(fileEntries().size(), 2u);

    keyring->becomeLocked();  // the next prompt is answered
    EXPECT_EQ(store->unlock(), std::nullopt);
    EXPECT_EQ(keyring->contents().size(), 2u);
    EXPECT_EQ(fileEntries(), json::object());
}

TEST_F(ChosenStoreTest, ChangesAfterTheChoiceLeaveNoOlderSetInTheFile) {
    plantFile({{"sim:kitchen", {{"Companion", "old"}}}, {"sim:living-room", {{"AirPlay", "a"}}}});
    keyring->becomeLocked(/*dismissed=*/true);
    ASSERT_TRUE(store->open());
    keyring->becomeLocked();
    ASSERT_EQ(keyring->unlock(), std::nullopt);  // unlocked behind the chosen store's back
    EXPECT_EQ(store->save("sim:kitchen", {{"Companion", "new"}}), std::nullopt);
    EXPECT_EQ(store->remove("sim:living-room"), std::nullopt);
    EXPECT_EQ(fileEntries(), json::object());
    EXPECT_TRUE(store->load("sim:living-room").credentials.empty());
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "new"}}));
}

TEST_F(ChosenStoreTest, AnOlderSetTheFileCouldNotLetGoOfNeverReplacesTheNewOne) {
    plantFile({{"sim:kitchen", {{"Companion", "old"}}}});
    keyring->becomeLocked(/*dismissed=*/true);
    ASSERT_TRUE(store->open());
    keyring->becomeLocked();
    ASSERT_EQ(keyring->unlock(), std::nullopt);
    // A link in the data folder's place: the file store refuses to change anything there.
    const std::string moved = dir / "moved";
    std::filesystem::rename(folder, moved);
    std::filesystem::create_directory_symlink(moved, folder);

    EXPECT_EQ(store->save("sim:kitchen", {{"Companion", "new"}}), std::nullopt);
    const auto problems = store->takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              "Orvel saved new pairing credentials in your keyring but could not "
              "remove the older ones from \"" +
                  file + "\" (error 4); it tries again while it runs.");
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "new"}}));

    std::filesystem::remove(folder);
    std::filesystem::rename(moved, folder);
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "new"}}));
    EXPECT_EQ(fileEntries(), json::object());
    EXPECT_EQ(keyring->contents().at("sim:kitchen"), (CredentialSet{{"Companion", "new"}}));
}

TEST_F(ChosenStoreTest, WithoutTheKeyringTheFileServesAndSaysWhy) {
    keyring->failWith(CredentialErrorCode::kUnavailable);
    EXPECT_EQ(store->save("sim:kitchen", {{"Companion", "k"}}), std::nullopt);
    EXPECT_EQ(store->kind(), "file");
    EXPECT_EQ(store->keyringProblem(), "The test store was told to fail.");
    EXPECT_TRUE(store->description().ends_with(
        "\". The keyring was not used: The test store was told to fail."))
        << store->description();
    EXPECT_EQ(fileEntries(), json({{"sim:kitchen", {{"Companion", "k"}}}}));
    keyring->failWith(std::nullopt);
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "k"}}));
    EXPECT_TRUE(keyring->contents().empty()) << "the choice was made twice";
}

TEST_F(ChosenStoreTest, QuittingChoosesNothingAndWritesNothing) {
    store->cancel();
    EXPECT_EQ(store->save("sim:kitchen", {{"Companion", "k"}})->code,
              CredentialErrorCode::kUnavailable);
    EXPECT_EQ(store->load("sim:kitchen").error->code, CredentialErrorCode::kUnavailable);
    EXPECT_EQ(store->kind(), "none");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(keyring->load("sim:kitchen").error->code, CredentialErrorCode::kUnavailable)
        << "the keyring was not cancelled";
}

}  // namespace
}  // namespace orvel
