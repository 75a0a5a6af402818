#include "platform/ChosenCredentialStore.hpp"

#include <utility>

#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel {
namespace {

CredentialError quitting() {
    return {CredentialErrorCode::kUnavailable, "Orvel is quitting"};
}

}  // namespace

ChosenCredentialStore::ChosenCredentialStore(const AppPaths::Environment& env)
    : ChosenCredentialStore(std::make_unique<SecretServiceCredentialStore>(),
                            AppPaths::dataFolder(env).value_or("")) {}

ChosenCredentialStore::ChosenCredentialStore(std::unique_ptr<CredentialStore> keyring,
                                             std::string dataFolder)
    : keyring_(std::move(keyring)), file_(std::move(dataFolder)) {}

Result<void> ChosenCredentialStore::open() {
    std::lock_guard lock(mutex_);
    (void)choose();
    return {};
}

std::optional<CredentialError> ChosenCredentialStore::choose() {
    // Quitting is no reason to write to the file instead.
    if (cancelled_) return quitting();
    if (choice_ != Choice::kNone) return std::nullopt;
    auto opened = keyring_->open();
    if (cancelled_) return quitting();
    if (!opened) {
        choice_ = Choice::kFile;
        problem_ = opened.error();
        return std::nullopt;
    }
    choice_ = Choice::kKeyring;
    entriesLeft_ = true;
    moveFileEntries();
    return std::nullopt;
}

CredentialStore& ChosenCredentialStore::chosen() {
    if (choice_ == Choice::kKeyring) return *keyring_;
    return file_;
}

void ChosenCredentialStore::moveFileEntries() {
    bool left = false;
    for (const auto& identifier : file_.identifiers()) {
        auto kept = file_.load(identifier);
        // A damaged entry stays where it is: nothing in it could connect.
        if (kept.error) continue;
        if (!moveEntry(identifier, kept.credentials)) left = true;
    }
    entriesLeft_ = left;
}

bool ChosenCredentialStore::moveEntry(const std::string& identifier,
                                      const CredentialSet& credentials) {
    // A set paired again since is newer than the file's.
    auto current = keyring_->load(identifier);
    if (current.error) return false;
    if (current.credentials.empty() && keyring_->save(identifier, credentials)) return false;
    return !file_.remove(identifier);
}

std::optional<CredentialError> ChosenCredentialStore::unlock() {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return error;
    auto error = chosen().unlock();
    if (!error && choice_ == Choice::kKeyring && entriesLeft_) moveFileEntries();
    return error;
}

void ChosenCredentialStore::cancel() {
    cancelled_ = true;
    keyring_->cancel();
}

CredentialLoad ChosenCredentialStore::load(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return {{}, error};
    auto loaded = chosen().load(identifier);
    if (choice_ != Choice::kKeyring || !entriesLeft_ || !loaded.credentials.empty()) return loaded;
    // Not moved yet (a locked keyring, say): the TV is paired all the same.
    auto kept = file_.load(identifier);
    if (kept.error || kept.credentials.empty()) return loaded;
    if (!loaded.error) (void)moveEntry(identifier, kept.credentials);
    return kept;
}

std::optional<CredentialError> ChosenCredentialStore::save(const std::string& identifier,
                                                           const CredentialSet& credentials) {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return error;
    auto error = chosen().save(identifier, credentials);
    // An older set left in the file must not outlive the one just saved.
    if (!error && choice_ == Choice::kKeyring && entriesLeft_) (void)file_.remove(identifier);
    return error;
}

std::optional<CredentialError> ChosenCredentialStore::remove(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return error;
    auto error = chosen().remove(identifier);
    if (error || choice_ != Choice::kKeyring || !entriesLeft_) return error;
    return file_.remove(identifier);
}

// The file is read whatever the choice (entries still to move), so its damage is ours to say.
std::vector<std::string> ChosenCredentialStore::takeProblems() {
    std::lock_guard lock(mutex_);
    return file_.takeProblems();
}

std::string ChosenCredentialStore::kind() const {
    std::lock_guard lock(mutex_);
    switch (choice_) {
        case Choice::kKeyring:
            return keyring_->kind();
        case Choice::kFile:
            return file_.kind();
        case Choice::kNone:
            break;
    }
    return "none";
}

std::string ChosenCredentialStore::description() const {
    std::lock_guard lock(mutex_);
    switch (choice_) {
        case Choice::kKeyring:
            return keyring_->description();
        case Choice::kFile:
            return file_.description();
        case Choice::kNone:
            break;
    }
    return "Orvel has not yet looked for your keyring.";
}

std::string ChosenCredentialStore::keyringProblem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

}  // namespace orvel
