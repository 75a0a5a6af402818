// The app icon cache against a real HTTP server on loopback: one transfer per address, kept on
// disk for the next run, failures held back for ten minutes of the loop's clock.

#include "app/AppIconCache.hpp"

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "../support/LoopbackHttpServer.hpp"
#include "../support/ScratchDir.hpp"
#include "app/BackgroundHttpTransport.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {
namespace {

struct AppIconCacheTest : ::testing::Test {
    AppIconCacheTest() { start(); }

    void start() {
        server = std::make_unique<LoopbackHttpServer>([this](const FakeHttpRequest&) {
            ++requests;
            return FakeHttpResponse{status.load(), "image/png", std::string(size.load(), 'i')};
        });
    }
    std::string url() const { return "http://" + server->hostPort() + "/query/icon/dev%2Fapp"; }

    // What the cache gave, once it did.
    std::optional<std::string> fetch(AppIconCache& from, const std::string& address) {
        std::optional<std::string> got;
        from.fetch(address, [&](const std::string& bytes) { got = bytes; });
        EXPECT_FALSE(got) << "answered inside fetch()";
        loop.runUntil([&] { return got.has_value(); });
        return got;
    }

    ManualLoop loop;
    ScratchDir dir;
    const std::string folder = dir / "cache/Orvel Remote/app-icons";
    std::atomic<int> requests{0};
    std::atomic<int> status{200};
    std::atomic<std::size_t> size{100};
    std::unique_ptr<LoopbackHttpServer> server;
    // Lets oversized answers through, so that the cache's own limit is what refuses them.
    BackgroundHttpTransport http{loop, {.maxBodyBytes = std::size_t{1024} * 1024}};
    AppIconCache cache{loop, http, folder};
};

TEST_F(AppIconCacheTest, TwoCallersShareOneTransferAndTheNextRunReadsTheDisk) {
    EXPECT_FALSE(cache.keptFile(url())) << "kept before any fetch";
    int answers = 0;
    for (int caller = 0; caller < 2; ++caller) {
        cache.fetch(url(), [&](const std::string& bytes) {
            EXPECT_EQ(bytes, std::string(100, 'i'));
            ++answers;
        });
    }
    ASSERT_TRUE(loop.runUntil([&] { return answers == 2; }));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(fetch(cache, url()), std::string(100, 'i'));  // from memory
    EXPECT_EQ(requests, 1);

    struct stat info {};
    ASSERT_EQ(::stat((folder + "/" + AppIconCache::fileName(url())).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(cache.keptFile(url()), folder + "/" + AppIconCache::fileName(url()));

    const std::string address = url();
    server.reset();
    AppIconCache later(loop, http, folder);
    EXPECT_EQ(fetch(later, address), std::string(100, 'i'));
}

TEST_F(AppIconCacheTest, RefusedAnswersAreNotKeptNorAskedAgainForTenMinutes) {
    struct Case {
        int status;
        std::size_t size;
        bool kept;
    };
    for (const Case& c : {Case{404, 100, false}, Case{500, 100, false},
                          Case{200, AppIconCache::kMaxBytes + 1, false},
                          Case{200, AppIconCache::kMaxBytes, true}}) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.size);
        status = c.status;
        size = c.size;
        requests = 0;
        AppIconCache fresh(loop, http, dir / ("case" + std::to_string(c.status + c.size)));
        const std::string kept = c.kept ? std::string(c.size, 'i') : "";
        EXPECT_EQ(fetch(fresh, url()), kept);
        EXPECT_EQ(fresh.keptFile(url()).has_value(), c.kept);
        loop.advance(AppIconCache::kRetryAfter - 1);
        EXPECT_EQ(fetch(fresh, url()), kept);
        EXPECT_EQ(requests, 1);
        loop.advance(1);
        EXPECT_EQ(fetch(fresh, url()), kept);
        EXPECT_EQ(requests, c.kept ? 1 : 2);
    }
}

TEST_F(AppIconCacheTest, OnlyHttpAddressesAreFetched) {
    const std::string hostPort = server->hostPort();
    for (const std::string& address :
         {"https://" + hostPort + "/query/icon/a", "ftp://" + hostPort + "/a",
          std::string("/query/icon/a"), std::string("http://"), std::string()}) {
        EXPECT_EQ(fetch(cache, address), "") << address;
    }
    EXPECT_EQ(requests, 0);
}

TEST_F(AppIconCacheTest, AFileInThePlaceOfTheFolderStillLetsTheNetworkAnswer) {
    ScratchDir::write(folder, "not a folder");
    EXPECT_EQ(fetch(cache, url()), std::string(100, 'i'));
    AppIconCache later(loop, http, folder);
    EXPECT_EQ(fetch(later, url()), std::string(100, 'i'));
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(ScratchDir::read(folder), "not a folder");
}

// A transport that answers even what was cancelled: the cache alone must keep the caller safe.
struct LateTransport final : HttpTransport {
    CancelHandle send(HttpRequest, HttpDone done) override {
        held = std::move(done);
        return {};
    }
    HttpDone held;
};

TEST(AppIconCacheEnd, NoAnswerReachesACallerAfterTheCacheIsGone) {
    ManualLoop loop;
    LateTransport late;
    bool answered = false;
    {
        AppIconCache brief(loop, late, "");
        brief.fetch("http://192.0.2.1/query/icon/a", [&](const std::string&) { answered = true; });
    }
    ASSERT_TRUE(late.held);
    HttpResponse answer;
    answer.status = 200;
    answer.body = "icon";
    late.held(answer);
    loop.runUntilIdle();
    EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace orvel::test
