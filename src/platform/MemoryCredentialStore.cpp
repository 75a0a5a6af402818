#include "platform/MemoryCredentialStore.hpp"

namespace orvel {

std::optional<CredentialError> MemoryCredentialStore::injectedFailure() const {
    if (cancelled_) return CredentialError{CredentialErrorCode::kUnavailable, "cancelled"};
    if (failure_) return CredentialError{*failure_, "failure injected by the test"};
    if (locked_) return CredentialError{CredentialErrorCode::kLocked, "locked by the test"};
    return std::nullopt;
}

Result<void> MemoryCredentialStore::open() {
    std::lock_guard lock(mutex_);
    if (failure_) return Failure{"The test store was told to fail."};
    return {};
}

std::optional<CredentialError> MemoryCredentialStore::unlock() {
    std::lock_guard lock(mutex_);
    if (!locked_) return std::nullopt;
    ++unlockRequests_;
    if (!dismisses_) locked_ = false;
    return injectedFailure();
}

void MemoryCredentialStore::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
}

void MemoryCredentialStore::becomeLocked(bool dismissed) {
    std::lock_guard lock(mutex_);
    locked_ = true;
    dismisses_ = dismissed;
}

int MemoryCredentialStore::unlockRequests() const {
    std::lock_guard lock(mutex_);
    return unlockRequests_;
}

CredentialLoad MemoryCredentialStore::load(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (auto error = injectedFailure()) return {{}, error};
    auto found = sets_.find(identifier);
    return {found == sets_.end() ? CredentialSet{} : found->second, std::nullopt};
}

std::optional<CredentialError> MemoryCredentialStore::save(const std::string& identifier,
                                                           const CredentialSet& credentials) {
    std::lock_guard lock(mutex_);
    if (auto error = injectedFailure()) return error;
    sets_[identifier] = credentials;
    return std::nullopt;
}

std::optional<CredentialError> MemoryCredentialStore::remove(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (auto error = injectedFailure()) return error;
    sets_.erase(identifier);
    return std::nullopt;
}

std::string MemoryCredentialStore::description() const {
    return "Pairing credentials are kept in memory only and are lost when Orvel quits.";
}

void MemoryCredentialStore::failWith(std::optional<CredentialErrorCode> code) {
    std::lock_guard lock(mutex_);
    failure_ = code;
}

std::map<std::string, CredentialSet> MemoryCredentialStore::contents() const {
    std::lock_guard lock(mutex_);
    return sets_;
}

}  // namespace orvel
