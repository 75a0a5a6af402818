#include "bridge/appletv/CompanionClientId.hpp"

#include <algorithm>

#include "bridge/appletv/CompanionMessages.hpp"
#include "platform/AtomicFile.hpp"

namespace orvel {

namespace {

bool wellFormed(const std::string& id) {
    return id.size() == 12 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

std::string loadCompanionClientId(const std::optional<std::string>& folder) {
    if (!folder) return newCompanionClientId();
    const std::string path = *folder + "/companion-client-id";
    std::string stored;
    if (!AtomicFile::read(path, stored, 64)) {
        while (!stored.empty() && (stored.back() == '\n' || stored.back() == ' '))
            stored.pop_back();
        if (wellFormed(stored)) return stored;
    }
    std::string id = newCompanionClientId();
    if (!AtomicFile::makeFolders(*folder, 0700)) {
        static_cast<void>(AtomicFile::write(path, id + "\n", AtomicFile::Access::OwnerOnly));
    }
    return id;
}

}  // namespace orvel
