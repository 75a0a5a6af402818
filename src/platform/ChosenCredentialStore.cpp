#include "platform/ChosenCredentialStore.hpp"

#include <string>
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
        if (!moveEntry(identifier, kept.credentials, keyring_->load(identifier))) left = true;
    }
    entriesLeft_ = left;
}

bool ChosenCredentialStore::moveEntry(const std::string& identifier, const CredentialSet& kept,
                                      const CredentialLoad& current) {
    // The file is written only while the keyring is not used, so its set is the newer one;
    // except where this run saved a set in the keyring and the file kept the older copy. An
    // empty set carries nothing to keep.
    if (!superseded_.contains(identifier) && !kept.empty()) {
        if (current.error) return false;
        if (current.credentials != kept && keyring_->save(identifier, kept)) return false;
    }
    if (file_.remove(identifier)) return false;
    superseded_.erase(identifier);
    return true;
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
    if (choice_ != Choice::kKeyring || !entriesLeft_) return loaded;
    // Not moved yet (a locked keyring, say): the TV is paired with the file's set all the same.
    auto kept = file_.load(identifier);
    if (kept.error || kept.credentials.empty()) return loaded;
    if (superseded_.contains(identifier)) {
        (void)moveEntry(identifier, kept.credentials, loaded);
        return loaded;
    }
    if (!loaded.error) (void)moveEntry(identifier, kept.credentials, loaded);
    return kept;
}

std::optional<CredentialError> ChosenCredentialStore::save(const std::string& identifier,
                                                           const CredentialSet& credentials) {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return error;
    auto error = chosen().save(identifier, credentials);
    if (error || choice_ != Choice::kKeyring || !entriesLeft_) return error;
    // An older set left in the file must not outlive the one just saved, nor replace it.
    if (auto stuck = file_.remove(identifier)) {
        superseded_.insert(identifier);
        problems_.push_back(
            "Orvel saved new pairing credentials in your keyring but could not "
            "remove the older ones from \"" +
            file_.filePath() + "\" (error " + std::to_string(stuck->number()) +
            "); it tries again while it runs.");
    } else {
        superseded_.erase(identifier);
    }
    return std::nullopt;
}

std::optional<CredentialError> ChosenCredentialStore::remove(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (auto error = choose()) return error;
    auto error = chosen().remove(identifier);
    if (error || choice_ != Choice::kKeyring || !entriesLeft_) return error;
    if (auto stuck = file_.remove(identifier)) return stuck;
    superseded_.erase(identifier);
    return std::nullopt;
}

// The file is read whatever the choice (entries still to move), so its damage is ours to say.
std::vector<std::string> ChosenCredentialStore::takeProblems() {
    std::lock_guard lock(mutex_);
    auto problems = std::exchange(problems_, {});
    for (auto& problem : file_.takeProblems()) problems.push_back(std::move(problem));
    return problems;
}

const CredentialStore* ChosenCredentialStore::chosenOrNull() const {
    switch (choice_) {
        case Choice::kKeyring:
            return keyring_.get();
        case Choice::kFile:
            return &file_;
        case Choice::kNone:
            break;
    }
    return nullptr;
}

std::string ChosenCredentialStore::kind() const {
    std::lock_guard lock(mutex_);
    const auto* store = chosenOrNull();
    return store ? store->kind() : "none";
}

std::string ChosenCredentialStore::description() const {
    std::lock_guard lock(mutex_);
    const auto* store = chosenOrNull();
    if (!store) return "Orvel has not yet looked for your keyring.";
    if (choice_ == Choice::kFile && !problem_.empty())
        return store->description() + " The keyring was not used: " + problem_;
    return store->description();
}

std::string ChosenCredentialStore::keyringProblem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

}  // namespace orvel
