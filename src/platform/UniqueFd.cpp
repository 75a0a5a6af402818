#include "platform/UniqueFd.hpp"

#include <unistd.h>

namespace orvel {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

}  // namespace orvel
