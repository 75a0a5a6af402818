#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../support/ScratchDir.hpp"
#include "PrivateKeyring.hpp"
#include "platform/ChosenCredentialStore.hpp"
#include "platform/FileCredentialStore.hpp"
#include "platform/MemoryCredentialStore.hpp"
#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using test::ScratchDir;

// Every store keeps the same contract; the keyring's only on a keyring of our own.
class CredentialStoreContract : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "file") {
            store = std::make_unique<FileCredentialStore>(dir / "data/Orvel Remote");
        } else if (GetParam() == "memory") {
            store = std::make_unique<MemoryCredentialStore>();
        } else {
            if (!test::onPrivateKeyring())
                GTEST_SKIP() << "needs a keyring of its own: run through "
                                "tests/platform/with-private-keyring.sh (ctest does)";
            auto keyring = SecretServiceCredentialStore::connect();
            ASSERT_TRUE(keyring) << "the private keyring does not answer: " << keyring.error();
            store = std::move(*keyring);
        }
    }
    ScratchDir dir;
    std::unique_ptr<CredentialStore> store;
};

TEST_P(CredentialStoreContract, KeepsOneWholeSetPerTelevision) {
    auto missing = store->load("roku:never-paired");
    EXPECT_EQ(missing.error, std::nullopt);
    EXPECT_TRUE(missing.credentials.empty());
    EXPECT_EQ(store->remove("roku:never-paired"), std::nullopt);
    const CredentialSet first{{"AirPlay", "a1"}};
    const CredentialSet both{{"AirPlay", "a2"}, {"Companion", "c \"quoted\" \u2713"}};
    ASSERT_EQ(store->save("sim:living-room", first), std::nullopt);
    EXPECT_EQ(store->load("sim:living-room").credentials, first);
    ASSERT_EQ(store->save("sim:living-room", both), std::nullopt);
    ASSERT_EQ(store->save("sim:kitchen", {{"Companion", "k"}}), std::nullopt);

    auto loaded = store->load("sim:living-room");
    EXPECT_EQ(loaded.error, std::nullopt);
    EXPECT_EQ(loaded.credentials, both);
    EXPECT_EQ(store->remove("sim:living-room"), std::nullopt);
    loaded = store->load("sim:living-room");
    EXPECT_EQ(loaded.error, std::nullopt);
    EXPECT_TRUE(loaded.credentials.empty()) << "an update left an older set behind";
    EXPECT_EQ(store->load("sim:kitchen").credentials, (CredentialSet{{"Companion", "k"}}));
    EXPECT_EQ(store->remove("sim:kitchen"), std::nullopt);
    EXPECT_EQ(store->kind(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Stores, CredentialStoreContract,
                         ::testing::Values("file", "memory", "keyring"),
                         [](const auto& param) { return param.param; });

class FileStoreTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string folder = dir / "data/Orvel Remote";
    std::string file = folder + "/credentials.json";
    FileCredentialStore store{folder};
};

TEST_F(FileStoreTest, CreatesNothingToLoadAndKeepsTheFileAndFolderPrivate) {
    EXPECT_TRUE(store.load("a").credentials.empty());
    EXPECT_EQ(store.remove("a"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(folder));

    mode_t umask = ::umask(0);  // the mode must not depend on the umask
    EXPECT_EQ(store.save("sim:kitchen", {{"Companion", "secret"}}), std::nullopt);
    ::umask(umask);
    EXPECT_EQ(ScratchDir::mode(file), 0600u);
    EXPECT_EQ(ScratchDir::mode(folder), 0700u);
    EXPECT_EQ(json::parse(ScratchDir::read(file)),
              json({{"sim:kitchen", {{"Companion", "secret"}}}}));

    ::chmod(file.c_str(), 0644);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(store.load("sim:kitchen").credentials.at("Companion"), "secret");
    EXPECT_EQ(ScratchDir::mode(file), 0600u);
    EXPECT_EQ(ScratchDir::mode(folder), 0700u);
    EXPECT_NE(store.description().find(file), std::string::npos);
}

TEST_F(FileStoreTest, ADamagedEntryFailsOnlyItsOwnLoad) {
    ScratchDir::write(file, R"({"bad": {"AirPlay": 5}, "good": {"AirPlay": "a"}})");
    EXPECT_EQ(store.load("bad").error->code, CredentialErrorCode::kMalformed);
    EXPECT_EQ(store.load("good").credentials.at("AirPlay"), "a");
    EXPECT_EQ(store.save("other", {}), std::nullopt);
    EXPECT_EQ(json::parse(ScratchDir::read(file))["bad"], json({{"AirPlay", 5}}));
}

// Whatever stands where the file belongs, the first call sets it aside and goes on without it.
TEST_F(FileStoreTest, SomethingThatIsNoCredentialFileIsMovedAsideAndSaidOnce) {
    const std::string big = "{\"a\": \"" + std::string(5 << 20, 'x') + "\"}";
    const std::pair<const char*, std::function<void()>> shapes[] = {
        {"garbage", [&] { ScratchDir::write(file, "{\"good\": {\"AirPlay\": \"a\""); }},
        {"a folder", [&] { std::filesystem::create_directories(file + "/inside"); }},
        {"a FIFO", [&] { ::mkfifo(file.c_str(), 0600); }},  // must not block
        {"5 MB", [&] { ScratchDir::write(file, big); }},
    };
    const std::vector<std::string> said{"The pairing credentials file \"" + file +
                                        "\" could not be read, so it was moved to \"" + file +
                                        ".corrupt\" and TVs that need pairing must be paired "
                                        "again."};
    for (const auto& [shape, make] : shapes) {
        for (bool loadFirst : {true, false}) {
            SCOPED_TRACE(std::string(shape) + (loadFirst ? ", load" : ", save"));
            std::filesystem::create_directories(folder);
            make();
            if (loadFirst) {
                auto loaded = store.load("good");
                EXPECT_EQ(loaded.error, std::nullopt);
                EXPECT_TRUE(loaded.credentials.empty());
            }
            EXPECT_EQ(store.save("new", {{"AirPlay", "n"}}), std::nullopt);
            EXPECT_EQ(store.load("new").credentials.at("AirPlay"), "n");
            EXPECT_TRUE(std::filesystem::exists(file + ".corrupt"));
            EXPECT_EQ(store.takeProblems(), said);
            EXPECT_TRUE(store.takeProblems().empty());
            std::filesystem::remove_all(folder);
        }
    }
}

TEST_F(FileStoreTest, ADamagedFileThatCannotBeMovedFailsEveryCall) {
    ScratchDir::write(file, "garbage");
    // Every name it could go to is taken: permissions would not stop root.
    for (int index = 0; index < 1000; ++index)
        ScratchDir::write(file + ".corrupt" + (index ? "." + std::to_string(index) : ""), "");
    EXPECT_EQ(store.load("a").error->code, CredentialErrorCode::kMalformed);
    EXPECT_EQ(store.save("a", {})->code, CredentialErrorCode::kWriteFailed);
    EXPECT_EQ(ScratchDir::read(file), "garbage");
    auto problems = store.takeProblems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "The pairing credentials file \"" + file +
                               "\" could not be read and could not be moved aside (File exists), "
                               "so TVs that need pairing cannot connect.");
}

TEST_F(FileStoreTest, RefusesWhatItCannotTrust) {
    ScratchDir::write(dir / "elsewhere.json", R"({"a": {"AirPlay": "planted"}})");
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(dir / "elsewhere.json", file);
    EXPECT_EQ(store.load("a").error->code, CredentialErrorCode::kUnsafeStorage);
    EXPECT_EQ(store.save("a", {})->code, CredentialErrorCode::kUnsafeStorage);
    EXPECT_EQ(ScratchDir::read(dir / "elsewhere.json"), R"({"a": {"AirPlay": "planted"}})");

    // A linked data folder is refused, and the folder it points to keeps its mode.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(dir / "linked");
    ::chmod((dir / "linked").c_str(), 0755);
    std::filesystem::create_symlink(dir / "linked", folder);
    EXPECT_EQ(store.load("a").error->code, CredentialErrorCode::kUnsafeStorage);
    EXPECT_EQ(store.save("a", {{"AirPlay", "x"}})->code, CredentialErrorCode::kUnsafeStorage);
    EXPECT_EQ(ScratchDir::mode(dir / "linked"), 0755u);
    EXPECT_FALSE(std::filesystem::exists(dir / "linked/credentials.json"));
}

TEST_F(FileStoreTest, ReportsWriteAndEncodingFailures) {
    ScratchDir::write(dir / "data", "a file where the folder belongs");
    EXPECT_EQ(store.save("a", {{"AirPlay", "x"}})->description(),
              "Pairing credentials could not be accessed in the keyring (3).");
    EXPECT_TRUE(store.load("a").credentials.empty());

    std::filesystem::remove(dir / "data");
    EXPECT_EQ(store.save("a", {{"AirPlay", "x"}}), std::nullopt);
    EXPECT_EQ(store.save("a", {{"AirPlay", "\xff"}})->code, CredentialErrorCode::kEncodingFailed);
    EXPECT_EQ(store.load("a").credentials.at("AirPlay"), "x");

    FileCredentialStore homeless("");  // never the root folder
    EXPECT_EQ(homeless.save("a", {})->code, CredentialErrorCode::kUnavailable);
    EXPECT_EQ(homeless.load("a").error->code, CredentialErrorCode::kUnavailable);
}

// The choice between the keyring and the file, and the move from one to the other, with an
// in-memory store standing in for the keyring (the real one: SecretServiceCredentialStoreTests).
class ChosenStoreTest : public ::testing::Test {
protected:
    ChosenStoreTest() {
        auto memory = std::make_unique<MemoryCredentialStore>();
        keyring = memory.get();
        store = std::make_unique<ChosenCredentialStore>(std::move(memory), folder);
    }
    void plantFile(const json& entries) { ScratchDir::write(file, entries.dump()); }
    json fileEntries() const { return json::parse(ScratchDir::read(file)); }

    ScratchDir dir;
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
