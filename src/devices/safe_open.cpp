#include "safe_open.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <system_error>

namespace devices {

FileHandle::~FileHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

namespace {

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

// As many links as the kernel follows in one lookup; also bounds the looks
// again at a last part that keeps changing under us.
constexpr int kMaxLinks = 40;

// Non-blocking so that a FIFO nobody reads cannot stall the open or the
// reader; O_APPEND never truncates what the file held.
constexpr int kAppend = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr int kFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;

int OpenAt(int folder, const std::string &name, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::openat(folder, name.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The folder's path, for messages only.
std::string FolderName(int folder)
{
    char path[PATH_MAX];
    const std::string proc = "/proc/self/fd/" + std::to_string(folder);
    const ssize_t n = ::readlink(proc.c_str(), path, sizeof path);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path ? std::string(path, static_cast<std::size_t>(n))
                                                               : std::string("its folder");
}

// The kernel's protected_regular and protected_fifos rule, for root too, and
// its protected_hardlinks rule seen from the other side: another user's file
// in a shared sticky folder, or with a second name, was put there for us to
// write into, e.g. as the log we are about to open.
std::string Planted(int folder, const std::string &name, const struct stat &dir, const struct stat &entry)
{
    if (entry.st_uid == ::geteuid() || S_ISDIR(entry.st_mode))
        return {};
    const std::string owner = "another user (uid " + std::to_string(entry.st_uid) + ")";
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & (S_IWGRP | S_IWOTH));
    if (shared && entry.st_uid != dir.st_uid)
        return "'" + name + "' in the shared folder " + FolderName(folder) + " belongs to " + owner;
    if (entry.st_nlink > 1)
        return "'" + name + "' belongs to " + owner + " and has " + std::to_string(entry.st_nlink) + " hard links";
    return {};
}

enum class Last { Opened, Link, Again, Failed };

// Opens the last part `name` of a walk in `folder`, itself never a link: what
// is there is looked at first, then opened, and must still be what was
// looked at. A missing file is created, only by this open.
Last OpenLast(int folder, const std::string &name, int flags, mode_t mode, bool regularOnly, const char *refusal,
              FileHandle &opened, bool &created, std::string &why)
{
    struct stat dir {}, entry {};
    if (::fstat(folder, &dir) != 0) {
        why = Reason(errno);
        return Last::Failed;
    }
    if (::fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            why = Reason(errno);
            return Last::Failed;
        }
        opened = FileHandle(OpenAt(folder, name, flags | O_CREAT | O_EXCL | O_NOFOLLOW, mode));
        if (!opened && errno == EEXIST) // made by someone else meanwhile: look at it
            return Last::Again;
        if (!opened) {
            why = Reason(errno);
            return Last::Failed;
        }
        created = true;
        return Last::Opened;
    }
    if (S_ISLNK(entry.st_mode))
        return Last::Link;
    if (regularOnly && !S_ISREG(entry.st_mode)) {
        why = "'" + name + "' is not a regular file; " + refusal;
        return Last::Failed;
    }
    if (const auto planted = Planted(folder, name, dir, entry); !planted.empty()) {
        why = planted + "; " + refusal;
        return Last::Failed;
    }
    opened = FileHandle(OpenAt(folder, name, flags | O_NOFOLLOW));
    if (!opened && (errno == ENOENT || errno == ELOOP)) // gone or replaced by a link since
        return Last::Again;
    if (!opened) {
        why = Reason(errno);
        return Last::Failed;
    }
    struct stat now {};
    if (::fstat(opened.Get(), &now) != 0 || now.st_dev != entry.st_dev || now.st_ino != entry.st_ino) {
        opened = FileHandle();
        why = "'" + name + "' was replaced while it was being opened; " + refusal;
        return Last::Failed;
    }
    return Last::Opened;
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

// A path walked one part at a time from / or the current folder, never
// following a link by itself: each link met, in the path or in what a link
// points to, is read through a descriptor of the link itself after its
// owner was checked, so that nobody can swap it between the check and the
// open.
//
// A link is followed only when the user or root made it: one made by
// another user, even in a folder of that user's own, could aim our writes
// at any file the user may write, while root's links (/dev/stdout,
// /var/run) are the system's. The rule holds for every part of the path: a
// folder that is another user's link would put the file wherever that user
// likes.
class Walk {
public:
    Walk(const std::string &path, std::string &why) : why_(why), todo_(Components(path))
    {
        folder_ = FileHandle(OpenAt(AT_FDCWD, !path.empty() && path.front() == '/' ? "/" : ".", kFolder));
        if (!folder_)
            why_ = Reason(errno);
    }

    // Steps through every part but the last. False with `why` set.
    [[nodiscard]] bool ToLast()
    {
        if (!folder_)
            return false;
        while (todo_.size() > 1) {
            std::string entry = std::move(todo_.front());
            todo_.pop_front();
            if (FileHandle next(OpenAt(folder_.Get(), entry, kFolder | O_NOFOLLOW)); next) {
                folder_ = std::move(next);
                continue;
            }
            if (errno != ENOTDIR && errno != ELOOP) // a link, or no folder at all
                return Fail(errno);
            if (FollowLink(entry, false) == Followed::Failed)
                return false;
        }
        return true;
    }

    [[nodiscard]] int Folder() const { return folder_.Get(); }
    [[nodiscard]] const std::string &Last() const { return todo_.front(); }
    [[nodiscard]] FileHandle TakeFolder() { return std::move(folder_); }

    // The last part is a link: puts what it points to in its place. True to
    // go on, false with `why` set; `opened` set where the kernel's own link
    // led straight to the file.
    [[nodiscard]] bool FollowLast(FileHandle &opened)
    {
        std::string entry = std::move(todo_.front());
        todo_.pop_front();
        const auto followed = FollowLink(entry, true);
        if (followed == Followed::Opened)
            opened = std::move(kernelOpened_);
        return followed != Followed::Failed;
    }

    // The last part changed while we looked: look again, a bounded number of times.
    [[nodiscard]] bool Again() { return ++links_ <= kMaxLinks || Fail(ELOOP); }

private:
    enum class Followed { GoOn, Opened, Failed };

    bool Fail(int error)
    {
        why_ = Reason(error);
        return false;
    }
    Followed Stop(int error)
    {
        why_ = Reason(error);
        return Followed::Failed;
    }

    // Takes one step through the link `entry` in the folder: what it points
    // to goes in front of what is left, and an absolute target starts again
    // at /.
    Followed FollowLink(const std::string &entry, bool last)
    {
        if (++links_ > kMaxLinks)
            return Stop(ELOOP);
        const FileHandle link(OpenAt(folder_.Get(), entry, O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat linkStat {};
        if (!link || ::fstat(link.Get(), &linkStat) != 0)
            return Stop(errno);
        if (!S_ISLNK(linkStat.st_mode)) {
            if (!last)
                return Stop(ENOTDIR);
            todo_.push_front(entry); // replaced by something else since: look again
            return Followed::GoOn;
        }
        if (linkStat.st_uid != ::geteuid() && linkStat.st_uid != 0) {
            why_ = "'" + entry + "' is a symbolic link made by another user (uid " + std::to_string(linkStat.st_uid)
                + "); not following it";
            return Followed::Failed;
        }
        // The kernel's own links, as /proc/self/fd/1 behind /dev/stdout, may
        // name a pipe or a deleted file that no path reaches; no other user
        // can plant one.
        if (struct statfs fs {}; ::fstatfs(folder_.Get(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
            FileHandle fd(OpenAt(folder_.Get(), entry, last ? kAppend | O_CREAT : kFolder, 0666));
            if (!fd)
                return Stop(errno);
            if (last) {
                kernelOpened_ = std::move(fd);
                return Followed::Opened;
            }
            folder_ = std::move(fd);
            return Followed::GoOn;
        }
        char target[PATH_MAX];
        const ssize_t n = ::readlinkat(link.Get(), "", target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) == sizeof target)
            return Stop(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG);
        const std::string targetPath(target, static_cast<std::size_t>(n));
        // What the link points to comes first, then the rest of the path;
        // a relative target starts in the link's folder.
        auto parts = Components(targetPath);
        if (targetPath.back() == '/' && !last)
            parts.pop_back(); // "dir/" followed by more parts
        todo_.insert(todo_.begin(), parts.begin(), parts.end());
        if (targetPath.front() == '/') {
            folder_ = FileHandle(OpenAt(AT_FDCWD, "/", kFolder));
            if (!folder_)
                return Stop(errno);
        }
        return Followed::GoOn;
    }

    std::string &why_;
    FileHandle folder_;
    std::deque<std::string> todo_;
    int links_ = 0;
    FileHandle kernelOpened_;
};

} // namespace

FileHandle OpenForAppend(const std::string &path, std::string &why)
{
    Walk walk(path, why);
    for (;;) {
        if (!walk.ToLast())
            return {};
        FileHandle opened;
        bool created = false;
        switch (OpenLast(walk.Folder(), walk.Last(), kAppend, 0666, false, "not appending to it", opened, created,
                         why)) {
        case Last::Opened:
            return opened;
        case Last::Failed:
            return {};
        case Last::Link:
            if (!walk.FollowLast(opened))
                return {};
            if (opened)
                return opened;
            break;
        case Last::Again:
            if (!walk.Again())
                return {};
            break;
        }
    }
}

std::optional<FolderEntry> OpenFolderOf(const std::string &path, std::string &why)
{
    Walk walk(path, why);
    if (!walk.ToLast())
        return std::nullopt;
    std::string name = walk.Last();
    return FolderEntry {walk.TakeFolder(), std::move(name)};
}

FileHandle OpenFileIn(int folder, const std::string &name, mode_t mode, bool &created, std::string &why)
{
    created = false;
    for (int looks = 0; looks <= kMaxLinks; ++looks) {
        FileHandle opened;
        switch (OpenLast(folder, name, O_WRONLY | O_CLOEXEC | O_NOCTTY, mode, true, "not writing to it", opened,
                         created, why)) {
        case Last::Opened:
            return opened;
        case Last::Failed:
            return {};
        case Last::Link:
            why = "'" + name + "' is a symbolic link, not a regular file; not writing through it";
            return {};
        case Last::Again:
            break;
        }
    }
    why = Reason(ELOOP);
    return {};
}

std::string WhyNotReplace(int folder, const std::string &name)
{
    struct stat dir {}, entry {};
    if (::fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::string() : Reason(errno);
    if (!S_ISREG(entry.st_mode))
        return "'" + name + "' is not a regular file; not replacing it";
    if (::fstat(folder, &dir) != 0)
        return Reason(errno);
    const auto planted = Planted(folder, name, dir, entry);
    return planted.empty() ? planted : planted + "; not replacing it";
}

} // namespace devices
