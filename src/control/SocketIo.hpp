#pragma once
// SocketIo: the blocking socket steps of the control server's accept thread and watch
// streams, each bounded in time and each interruptible through a wake descriptor (an eventfd
// that becomes readable when its owner wants the thread back).
// Free functions; any thread.

#include <string_view>

namespace orvel::SocketIo {

enum class Wait { ready, timedOut, woken, failed };

// Waits until `fd` reports `events` (or an error or hang-up), `wakeFd` becomes readable
// (-1: none), or `timeoutSeconds` pass (negative: no limit).
Wait waitFor(int fd, short events, int wakeFd, double timeoutSeconds);

// Sends every byte, looping over short sends, without SIGPIPE. Gives up when a send fails,
// when `timeoutSeconds` in total pass without the last byte going out, or on a wake.
bool sendAll(int fd, std::string_view bytes, double timeoutSeconds, int wakeFd);

}  // namespace orvel::SocketIo
