#include "platform/LoginItem.hpp"
#include "platform/SystemError.hpp"

#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/AtomicFile.hpp"
#include "platform/DesktopEntry.hpp"

namespace orvel {
namespace {

constexpr std::size_t kMaxEntryBytes = std::size_t{64} << 10;

}  // namespace

LoginItem::LoginItem(std::string entryFile, std::string executable)
    : entryFile_(std::move(entryFile)), executable_(std::move(executable)) {}

std::string LoginItem::runningExecutable() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            // An updated install replaces the file under a running program.
            constexpr std::string_view kDeleted = " (deleted)";
            if (path.size() > kDeleted.size() &&
                path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
                path.resize(path.size() - kDeleted.size());
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool LoginItem::launchAtLogin() const {
    std::string text;
    if (entryFile_.empty() || AtomicFile::read(entryFile_, text, kMaxEntryBytes)) return false;
    return DesktopEntry::startsAtLogin(text);
}

std::optional<std::string> LoginItem::setLogin(bool enabled) {
    if (entryFile_.empty())
        return "Orvel Remote cannot change its login item because no home folder is known.";
    if (!enabled) {
        if (::unlink(entryFile_.c_str()) != 0 && errno != ENOENT)
            return "Orvel Remote could not be removed from the login items: " +
                   systemErrorText(errno) + ".";
        return std::nullopt;
    }
    if (executable_.empty() || executable_.front() != '/')
        return "Orvel Remote could not be set to open at login because its program file was "
               "not found.";
    auto error = AtomicFile::makeFolders(AtomicFile::folderOf(entryFile_), 0700);
    if (!error)
        error = AtomicFile::write(entryFile_, DesktopEntry::autostartText(executable_),
                                  AtomicFile::Access::Shared);
    if (error)
        return "Orvel Remote could not be set to open at login: " + systemErrorText(error->number) +
               ".";
    return std::nullopt;
}

}  // namespace orvel
