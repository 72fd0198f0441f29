#include "log_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <system_error>
#include <utility>

namespace portlink {

namespace {

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

// Non-blocking so that a FIFO nobody reads cannot stall the open or the
// reader; O_APPEND never truncates what the file held.
constexpr int kAppend = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Owns a descriptor; AT_FDCWD, being negative, passes through unclosed.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    [[nodiscard]] int Get() const { return fd_; }

private:
    int fd_;
};

int OpenAt(int folder, const std::string &name, int flags)
{
    int fd;
    do {
        fd = ::openat(folder, name.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The parts of `path` between slashes. A trailing slash makes the last part
// ".", so that a folder's name is opened as the folder and fails as it should.
std::deque<std::string> Components(const std::string &path)
{
    std::deque<std::string> parts;
    std::size_t at = 0;
    while (at < path.size()) {
        const auto slash = std::min(path.find('/', at), path.size());
        if (slash > at)
            parts.push_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    if (parts.empty() || path.back() == '/')
        parts.emplace_back(".");
    return parts;
}

int OpenRoot() { return OpenAt(AT_FDCWD, "/", O_PATH | O_DIRECTORY | O_CLOEXEC); }

constexpr int kGoOn = -2;

// Takes one step through the link `entry` in `folder`: what it points to
// goes in front of `todo`, and an absolute target starts again at /. Returns
// kGoOn, or -1 with `why` set, or the log's descriptor where the kernel's
// own link led straight to it.
int FollowLink(Descriptor &folder, const std::string &entry, bool last, std::deque<std::string> &todo,
               std::string &why)
{
    const auto fail = [&](int error) {
        why = Reason(error);
        return -1;
    };
    const Descriptor link(OpenAt(folder.Get(), entry, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat linkStat {};
    if (link.Get() < 0 || ::fstat(link.Get(), &linkStat) != 0)
        return fail(errno);
    if (!S_ISLNK(linkStat.st_mode)) {
        if (!last)
            return fail(ENOTDIR);
        todo.push_front(entry); // replaced by something else since: look again
        return kGoOn;
    }
    if (linkStat.st_uid != ::geteuid() && linkStat.st_uid != 0) {
        why = "'" + entry + "' is a symbolic link made by another user (uid " + std::to_string(linkStat.st_uid)
            + "); not following it";
        return -1;
    }
    // The kernel's own links, as /proc/self/fd/1 behind /dev/stdout, may
    // name a pipe or a deleted file that no path reaches; no other user
    // can plant one.
    if (struct statfs fs {}; ::fstatfs(folder.Get(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
        const int fd = OpenAt(folder.Get(), entry, last ? kAppend : O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return fail(errno);
        if (last)
            return fd;
        folder = Descriptor(fd);
        return kGoOn;
    }
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(link.Get(), "", target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof target)
        return fail(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG);
    const std::string targetPath(target, static_cast<std::size_t>(n));
    // What the link points to comes first, then the rest of the path;
    // a relative target starts in the link's folder.
    auto parts = Components(targetPath);
    if (targetPath.back() == '/' && !last)
        parts.pop_back(); // "dir/" followed by more parts
    todo.insert(todo.begin(), parts.begin(), parts.end());
    if (targetPath.front() == '/') {
        folder = Descriptor(OpenRoot());
        if (folder.Get() < 0)
            return fail(errno);
    }
    return kGoOn;
}

// Opens `path` for appending, creating it when missing. The path is walked
// one part at a time from / or the current folder, never following a link
// by itself: each link met, in the path or in what a link points to, is
// read through a descriptor of the link itself after its owner was checked,
// so that nobody can swap it between the check and the open.
//
// A link is followed only when the user or root made it: one made by
// another user, even in a folder of that user's own, could aim the card's
// bytes at any file the user may write, while root's links (/dev/stdout,
// /var/run) are the system's. The rule holds for every part of the path: a
// folder that is another user's link would put the log wherever that user
// likes.
int OpenForAppend(const std::string &path, std::string &why)
{
    auto fail = [&](int error) {
        why = Reason(error);
        return -1;
    };
    Descriptor folder(path.front() == '/' ? OpenRoot() : OpenAt(AT_FDCWD, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0)
        return fail(errno);
    auto todo = Components(path);
    int links = 0;
    while (!todo.empty()) {
        const std::string entry = std::move(todo.front());
        todo.pop_front();
        const bool last = todo.empty();
        if (last) {
            const int fd = OpenAt(folder.Get(), entry, kAppend | O_NOFOLLOW);
            if (fd >= 0)
                return fd;
            if (errno != ELOOP) // with O_NOFOLLOW, ELOOP means that `entry` is a link
                return fail(errno);
        } else {
            Descriptor next(OpenAt(folder.Get(), entry, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (next.Get() >= 0) {
                folder = std::move(next);
                continue;
            }
            if (errno != ENOTDIR && errno != ELOOP) // a link, or no folder at all
                return fail(errno);
        }
        if (++links > kMaxLinks)
            return fail(ELOOP);
        if (const int got = FollowLink(folder, entry, last, todo, why); got != kGoOn)
            return got;
    }
    return fail(ENOENT); // not reached: the last part returns
}

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
