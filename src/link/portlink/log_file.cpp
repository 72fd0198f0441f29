#include "log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace portlink {

namespace {

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

} // namespace

bool LogFile::open(const std::string &name, std::string &why)
{
    close();
    if (name.empty()) {
        why = "no file name";
        return false;
    }
    // Non-blocking so that a FIFO nobody reads cannot stall the open or the
    // reader; O_APPEND never truncates what the file held.
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = Reason(errno);
        return false;
    }
    fd_ = fd;
    name_ = name;
    return true;
}

void LogFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    name_.clear();
}

bool LogFile::append(std::span<const std::uint8_t> bytes, std::string &why)
{
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
