#pragma once
// Whether with-private-keyring.sh started a keyring of our own for this run: only then may a
// test touch a keyring, so the user's is never read or written.

#include <cstdlib>
#include <string>

namespace orvel::test {

inline bool onPrivateKeyring() {
    // Read before a test starts threads.
    const char* marker = std::getenv("ORVEL_PRIVATE_KEYRING");  // NOLINT(concurrency-mt-unsafe)
    return marker && std::string(marker) == "1";
}

}  // namespace orvel::test
