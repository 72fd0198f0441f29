#include "log_file.h"

#include "safe_open.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace portlink {

namespace {

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

// Walked one part at a time, through no link and into no file that another
// user planted (see safe_open.h).
int OpenForAppend(const std::string &path, std::string &why) { return devices::OpenForAppend(path, why).Release(); }

} // namespace

bool LogFile::Open(const std::string &name, std::string &why)
{
    Close();
    if (name.empty()) {
        why = "no file name";
        return false;
    }
    // Checks and reopening later must find the same file whatever the
    // current folder is by then.
    std::string path = name;
    if (path.front() != '/') {
        char *cwd = ::getcwd(nullptr, 0);
        if (!cwd) {
            why = Reason(errno);
            return false;
        }
        path = std::string(cwd) + "/" + name;
        std::free(cwd);
    }
    const int fd = OpenForAppend(path, why);
    if (fd < 0)
        return false;
    fd_ = fd;
    name_ = name;
    path_ = std::move(path);
    nextCheck_ = std::chrono::steady_clock::now() + checkEvery_;
    return true;
}

void LogFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    name_.clear();
    path_.clear();
}

// A log deleted or moved away would take the card's bytes where nobody looks
// for them; the technician looks at the path.
bool LogFile::FollowPath(std::string &why)
{
    struct stat held {}, atPath {};
    if (::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &atPath) == 0 && held.st_dev == atPath.st_dev
        && held.st_ino == atPath.st_ino)
        return true;
    const int fd = OpenForAppend(path_, why);
    if (fd < 0) {
        why = "the file was deleted or moved, and making it again failed: " + why;
        return false;
    }
    ::close(fd_);
    fd_ = fd;
    return true;
}

bool LogFile::Check(std::string &why)
{
    // Now and then only: two stat calls per read would cost more than the write.
    if (const auto now = std::chrono::steady_clock::now(); fd_ >= 0 && now >= nextCheck_) {
        nextCheck_ = now + checkEvery_;
        return FollowPath(why);
    }
    return true;
}

std::chrono::milliseconds LogFile::UntilCheck() const
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextCheck_ - std::chrono::steady_clock::now());
    return std::clamp(left, std::chrono::milliseconds(0), checkEvery_);
}

bool LogFile::Append(std::span<const std::uint8_t> bytes, std::string &why)
{
    if (!Check(why))
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            why = n < 0 ? Reason(errno) : "nothing written";
            return false;
        }
    }
    return true;
}

} // namespace portlink
