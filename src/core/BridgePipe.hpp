#pragma once
// BridgePipe: our ends of one bridge child's stdin and stdout, and a wake-up descriptor.
// Owned jointly (shared_ptr) by a bridge session and the work items on its reader and writer
// threads. read() belongs to the reader thread and write() to the writer thread; both block,
// but wake() (any thread) makes them return for good, even when a grandchild of the bridge
// still holds the other ends open. The loop thread may write too, without blocking, through
// writeNow(). Descriptors close with closeInput()/closeOutput() on their threads, or at
// destruction.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Result.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class BridgePipe {
public:
    // Takes the child's stdin (write end) and stdout (read end). A sentence when the wake-up
    // descriptor cannot be made.
    static Result<std::shared_ptr<BridgePipe>> create(UniqueFd input, UniqueFd output);
    BridgePipe(const BridgePipe&) = delete;
    BridgePipe& operator=(const BridgePipe&) = delete;

    enum class ReadStatus { data, endOfFile, failed, woken };
    struct ReadResult {
        ReadStatus status;
        std::size_t size = 0;
    };
    // Reader thread: waits for bytes (EINTR retried) and reads at most `capacity`.
    ReadResult read(char* buffer, std::size_t capacity);

    enum class WriteStatus { written, failed, woken };
    // Writer thread: writes all of `data`. A child that closed its stdin gives `failed`,
    // never SIGPIPE. Each call must be announced on the loop thread by willWrite() first.
    WriteStatus write(std::string_view data);
    void willWrite() { queuedWrites_.fetch_add(1, std::memory_order_relaxed); }

    struct Partial {
        bool failed = false;
        std::size_t written = 0;
    };
    // Loop thread: writes what the pipe takes at once and returns. Writes nothing while an
    // announced write is unfinished, so lines never interleave.
    Partial writeNow(std::string_view data);

    void closeInput() { input_.reset(); }    // writer thread
    void closeOutput() { output_.reset(); }  // reader thread

    void wake();  // any thread; permanent
    bool woken() const { return woken_.load(std::memory_order_acquire); }

private:
    BridgePipe(UniqueFd input, UniqueFd output, UniqueFd wake);
    WriteStatus writeAll(std::string_view data);

    UniqueFd input_;   // writer thread only
    UniqueFd output_;  // reader thread only
    const UniqueFd wake_;
    std::atomic<bool> woken_{false};
    bool sigpipeIgnored_ = false;
    // Announced writes not yet finished; only the loop thread raises it, so when it reads 0
    // the writer thread is done with input_.
    std::atomic<int> queuedWrites_{0};
};

}  // namespace orvel
