#include "app/AppIconCache.hpp"

#include <sys/stat.h>

#include <cstdint>
#include <utility>

#include "platform/AppPaths.hpp"
#include "platform/AtomicFile.hpp"

namespace orvel {

namespace {

constexpr std::string_view kScheme = "http://";

// FNV-1a: stable across runs and builds, which std::hash is not promised to be.
std::uint64_t hashOf(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

}  // namespace

AppIconCache::AppIconCache(MainLoop& loop, HttpTransport& transport, std::string folder)
    : loop_(loop), transport_(transport), folder_(std::move(folder)) {}

AppIconCache::~AppIconCache() {
    self_.reset();
    transfers_.clear();
}

std::string AppIconCache::fileName(std::string_view url) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::uint64_t hash = hashOf(url);
    std::string hex(16, '0');
    for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit, hash >>= 4) {
        *digit = kDigits[hash & 0xF];
    }
    return hex;
}

void AppIconCache::fetch(const std::string& url, Done done) {
    if (!done) return;
    if (!url.starts_with(kScheme) || url.size() == kScheme.size()) {
        answer(std::move(done), {});
        return;
    }
    if (auto known = icons_.find(url); known != icons_.end()) {
        answer(std::move(done), known->second);
        return;
    }
    if (auto failed = failedAt_.find(url); failed != failedAt_.end()) {
        if (loop_.now() - failed->second < kRetryAfter) {
            answer(std::move(done), {});
            return;
        }
        failedAt_.erase(failed);
    }
    if (auto kept = fromDisk(url)) {
        icons_[url] = *kept;
        answer(std::move(done), std::move(*kept));
        return;
    }
    if (auto running = transfers_.find(url); running != transfers_.end()) {
        running->second.waiting.push_back(std::move(done));
        return;
    }
    Transfer& transfer = transfers_[url];
    transfer.waiting.push_back(std::move(done));
    std::weak_ptr<AppIconCache*> owner = self_;
    // The handle is ours: cancelled with the cache, so the completion never outlives it.
    transfer.request = transport_.send({HttpMethod::get, url}, [owner, url](HttpResponse response) {
        if (auto self = owner.lock()) (*self)->finished(url, std::move(response));
    });
}

void AppIconCache::answer(Done done, std::string bytes) {
    std::weak_ptr<AppIconCache*> owner = self_;
    loop_.post([owner, done = std::move(done), bytes = std::move(bytes)] {
        if (owner.lock()) done(bytes);
    });
}

void AppIconCache::finished(const std::string& url, HttpResponse response) {
    auto found = transfers_.find(url);
    if (found == transfers_.end()) return;
    std::vector<Done> waiting = std::move(found->second.waiting);
    transfers_.erase(found);

    std::string bytes;
    if (response.ok() && !response.body.empty() && response.body.size() <= kMaxBytes) {
        bytes = std::move(response.body);
        icons_[url] = bytes;
        toDisk(url, bytes);
    } else {
        failedAt_[url] = loop_.now();
    }
    // Already on the loop, outside fetch(): the callers hear at once.
    std::weak_ptr<AppIconCache*> owner = self_;
    for (auto& done : waiting) {
        if (!owner.lock()) return;  // a caller may have ended the cache
        done(bytes);
    }
}

std::optional<std::string> AppIconCache::keptFile(const std::string& url) const {
    if (folder_.empty() || !url.starts_with(kScheme)) return std::nullopt;
    std::string path = folder_ + "/" + fileName(url);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> AppIconCache::fromDisk(const std::string& url) const {
    if (folder_.empty()) return std::nullopt;
    std::string bytes;
    if (AtomicFile::read(folder_ + "/" + fileName(url), bytes, kMaxBytes) || bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

void AppIconCache::toDisk(const std::string& url, const std::string& bytes) const {
    if (folder_.empty()) return;
    // A folder that cannot be made or written only costs the next run a fetch.
    if (AtomicFile::makeFolders(folder_, 0700)) return;
    static_cast<void>(
        AtomicFile::write(folder_ + "/" + fileName(url), bytes, AtomicFile::Access::OwnerOnly));
}

}  // namespace orvel
