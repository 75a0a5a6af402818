#include "platform/ThreadName.hpp"

#include <pthread.h>

namespace orvel {

void nameCurrentThread(const std::string& label) {
    constexpr std::size_t kMaxName = 15;
    // A name is only a label for people; a refusal changes nothing else.
    (void)pthread_setname_np(pthread_self(), label.substr(0, kMaxName).c_str());
}

}  // namespace orvel
