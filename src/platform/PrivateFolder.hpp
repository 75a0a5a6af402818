#pragma once
// PrivateFolder: a folder that must be ours alone (the data folder, which holds the control
// socket and the credential file), opened so that what was checked is what gets used.
//
//   auto folder = PrivateFolder::open(path, PrivateFolder::Create::kYes);
//   if (!folder.fd) return Failure{folder.problem};
//
// It refuses a folder that is a symbolic link, is not a folder or belongs to another user,
// rather than following the link or changing someone else's permissions; a looser mode on a
// folder of ours is narrowed to 0700. Stateless and thread-safe; never throws.

#include <string>

#include "platform/UniqueFd.hpp"

namespace orvel::PrivateFolder {

enum class Create { kNo, kYes };  // kYes: make it and its missing parents, each 0700

struct Opened {
    enum class Outcome { kOpened, kMissing, kRefused, kFailed };
    UniqueFd fd;  // O_DIRECTORY, close-on-exec; only with kOpened
    Outcome outcome = Outcome::kFailed;
    // One sentence naming the folder; empty with kOpened, and with kMissing (only kNo
    // reports that: nothing there, or a file where a parent folder should be).
    std::string problem;
};

Opened open(const std::string& folder, Create create);

}  // namespace orvel::PrivateFolder
