#include "app/StorageLog.hpp"

#include <syslog.h>

#include <cstdio>

namespace orvel {

void StorageLog::report(const std::vector<std::string>& problems) {
    for (const auto& problem : problems) {
        if (written_.insert(problem).second && writer_) writer_(problem);
    }
}

void StorageLog::writeToSystemLog(const std::string& sentence) {
    const std::string line = "Orvel: " + sentence;
    ::syslog(LOG_WARNING, "%s", line.c_str());
    static_cast<void>(std::fprintf(stderr, "%s\n", line.c_str()));
}

}  // namespace orvel
