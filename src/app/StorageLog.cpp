#include "app/StorageLog.hpp"

#include <cstdio>

namespace orvel {

void StorageLog::report(const std::vector<std::string>& problems) {
    for (const auto& problem : problems) {
        if (written_.insert(problem).second && writer_) writer_(problem);
    }
}

void StorageLog::writeToStandardError(const std::string& sentence) {
    static_cast<void>(std::fprintf(stderr, "Orvel: %s\n", sentence.c_str()));
}

}  // namespace orvel
