#include "platform/MemoryCredentialStore.hpp"

namespace orvel {

std::optional<CredentialError> MemoryCredentialStore::injectedFailure() const {
    if (!failure_) return std::nullopt;
    return CredentialError{*failure_, "failure injected by the test"};
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
