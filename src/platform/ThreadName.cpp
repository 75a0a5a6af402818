#include "platform/ThreadName.hpp"

#include <pthread.h>

namespace orvel {

std::string threadNameFor(const std::string& label) {
    constexpr std::size_t kMaxName = 15;
    std::size_t start = 0;
    while (label.size() - start > kMaxName) {
        const auto dot = label.find('.', start);
        if (dot == std::string::npos || dot + 1 == label.size()) break;
        start = dot + 1;
    }
    return label.substr(start, kMaxName);
}

void nameCurrentThread(const std::string& label) {
    // A name is only a label for people; a refusal changes nothing else.
    (void)pthread_setname_np(pthread_self(), threadNameFor(label).c_str());
}

}  // namespace orvel
