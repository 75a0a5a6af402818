#pragma once
// CredentialStore: where the pairing credentials of each TV are kept, one credential set per
// TV identifier. The session calls it only from its serial queue "quillon.orvel.keychain" and
// posts the results back to the main loop, so the calls may block (disk, D-Bus). No call but
// unlock() ever makes the store ask the user anything.
//
//   auto loaded = store.load("sim:kitchen");
//   if (loaded.error) showError(loaded.error->description());
//
// Implementations: FileCredentialStore (a private file), MemoryCredentialStore (tests) and,
// where a Secret Service answers, a keyring store. Each must be safe to call from one worker
// thread while other threads hold the object; none throws.
//
// Error codes (our own, stable; the number shown in the sentence):
//   1 kReadFailed      the stored data could not be read
//   2 kMalformed       the stored data is not a JSON object of texts
//   3 kWriteFailed     the data could not be written
//   4 kUnsafeStorage   the file or folder belongs to someone else, is a link or other
//                      non-regular file, or its permissions could not be made private
//   5 kEncodingFailed  an identifier or credential is not valid UTF-8 text
//   6 kUnavailable     the keyring service does not answer, or there is no home folder
//   7 kLocked          the keyring is locked and was not unlocked
//   8 kTestFailure     a failure injected by a test store
//   9 kRefused         the keyring service refused the request (no default collection to
//                      keep items in, a prompt dismissed, an error of its own)
//  10 kBadReply        the keyring service answered with something we do not understand

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Result.hpp"

namespace orvel {

// Protocol name ("AirPlay", "Companion") -> the credential text the bridge returned.
using CredentialSet = std::map<std::string, std::string>;

enum class CredentialErrorCode : int {
    kReadFailed = 1,
    kMalformed = 2,
    kWriteFailed = 3,
    kUnsafeStorage = 4,
    kEncodingFailed = 5,
    kUnavailable = 6,
    kLocked = 7,
    kTestFailure = 8,
    kRefused = 9,
    kBadReply = 10,
};

struct CredentialError {
    CredentialErrorCode code;
    std::string detail;  // for logs and tests; never shown in place of the description

    int number() const { return static_cast<int>(code); }
    // "Pairing credentials could not be accessed in the keyring (N)."
    std::string description() const;
};

struct CredentialLoad {
    CredentialSet credentials;  // empty when the TV has none stored
    std::optional<CredentialError> error;
};

class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    // A TV with nothing stored has the empty set; that is not an error.
    virtual CredentialLoad load(const std::string& identifier) = 0;
    // Replaces the TV's whole set.
    virtual std::optional<CredentialError> save(const std::string& identifier,
                                                const CredentialSet& credentials) = 0;
    // Removing what is not there succeeds.
    virtual std::optional<CredentialError> remove(const std::string& identifier) = 0;

    // Sentences about damage the store found and set aside since the last call (a file moved
    // out of the way), each for the user to read once. Called after every call above.
    virtual std::vector<std::string> takeProblems() { return {}; }

    // Connects to where the credentials are kept; the reason, as a sentence, when it cannot.
    // A store that needs it says so; the others have nothing to open.
    virtual Result<void> open() { return {}; }
    // The user asked for something that needs credentials: a store that can be locked may ask
    // them to unlock it (the keyring: at most once a run). Nothing to unlock is success.
    virtual std::optional<CredentialError> unlock() { return std::nullopt; }
    // Quitting: the call under way and every later one fail promptly. Any thread; never blocks.
    virtual void cancel() {}

    // A short stable name: "file", "memory", "keyring".
    virtual std::string kind() const = 0;
    // One sentence for the settings, saying where the credentials are kept.
    virtual std::string description() const = 0;
};

}  // namespace orvel
