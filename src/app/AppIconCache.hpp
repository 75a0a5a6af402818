#pragma once
// AppIconCache: the icons of a TV's apps, fetched once and kept: in memory for the run, and on
// disk (one file per address) for later runs. A failed address is not asked again for ten
// minutes; only http:// addresses are fetched, and only a 2xx answer of at most 256 KiB is kept.
//
//   AppIconCache icons(loop, http, AppPaths::appIconFolder(env).value_or(""));
//   icons.fetch(url, [](const std::string& bytes) { if (!bytes.empty()) show(bytes); });
//
// Owner: the app. Thread: the loop's. `done` runs once, on the loop, never inside fetch() and
// never after the cache is gone; with empty bytes when there is no icon to give. One transfer
// per address is in flight at a time: later callers wait on it. Destruction cancels transfers.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/http/HttpTransport.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class AppIconCache {
public:
    using Done = std::function<void(const std::string& bytes)>;

    static constexpr std::size_t kMaxBytes = std::size_t{256} * 1024;
    static constexpr double kRetryAfter = 600;  // seconds of the loop's clock

    // `folder` empty: memory only.
    AppIconCache(MainLoop& loop, HttpTransport& transport, std::string folder);
    ~AppIconCache();
    AppIconCache(const AppIconCache&) = delete;
    AppIconCache& operator=(const AppIconCache&) = delete;

    void fetch(const std::string& url, Done done);
    // The file on disk that keeps `url`'s icon, for those that read it themselves (the desktop's
    // media controls); none until a fetch kept it there, or with no folder.
    std::optional<std::string> keptFile(const std::string& url) const;

    // The file that keeps `url`'s icon: a hex hash of it.
    static std::string fileName(std::string_view url);

private:
    struct Transfer {
        std::vector<Done> waiting;
        CancelHandle request;
    };

    void answer(Done done, std::string bytes);
    void finished(const std::string& url, HttpResponse response);
    std::optional<std::string> fromDisk(const std::string& url) const;
    void toDisk(const std::string& url, const std::string& bytes) const;

    MainLoop& loop_;
    HttpTransport& transport_;
    const std::string folder_;
    std::map<std::string, std::string> icons_;
    std::map<std::string, Transfer> transfers_;
    std::map<std::string, double> failedAt_;
    // Posted answers and completions reach the cache through this; it expires first.
    std::shared_ptr<AppIconCache*> self_ = std::make_shared<AppIconCache*>(this);
};

}  // namespace orvel
