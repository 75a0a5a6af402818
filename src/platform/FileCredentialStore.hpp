#pragma once
// FileCredentialStore: the credential store used where no keyring service answers. One JSON
// object in "<data folder>/credentials.json", identifier -> {protocol: credential}.
//
//   FileCredentialStore store(*AppPaths::dataFolder(AppPaths::processEnvironment()));
//
// The folder is kept 0700 and the file 0600 (created so, never widened; looser modes on
// files we own are narrowed, files of other users, links and non-regular files are refused).
// The data folder must be a real folder of ours (PrivateFolder): a link there is refused.
// Every call reads the file afresh and every change replaces it atomically, under an flock
// on the folder so that two processes cannot lose each other's changes. An entry that is
// not an object of texts fails only its own load. Something that is no credential file at
// all (not a JSON object, too large, a folder, a FIFO) is moved aside by the first call that
// finds it (credentials.json.corrupt, .corrupt.1, ...), which then goes on as if there were
// no file, and takeProblems() says so; one damaged file cannot disconnect every TV.
//
// Thread-safe (one call at a time); blocking; never throws.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CredentialStore.hpp"

namespace orvel {

class FileCredentialStore final : public CredentialStore {
public:
    static constexpr std::size_t kMaxFileBytes = std::size_t{4} << 20;

    // `folder` is the data folder; it is created on the first save. Empty (no home folder
    // known): every call fails with kUnavailable.
    explicit FileCredentialStore(std::string folder);

    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::vector<std::string> takeProblems() override;
    std::string kind() const override { return "file"; }
    std::string description() const override;

    const std::string& filePath() const { return file_; }
    // The TVs with an entry, well formed or not; none when the file is missing or unreadable.
    std::vector<std::string> identifiers();

private:
    // Saves `credentials`, or removes the entry when they are absent.
    std::optional<CredentialError> change(const std::string& identifier,
                                          const CredentialSet* credentials);

    const std::string folder_;
    const std::string file_;
    std::mutex mutex_;  // one call at a time in this process; the flock covers other processes
    std::vector<std::string> problems_;  // guarded by mutex_
};

}  // namespace orvel
