#include "card_port.h"

#include "replace_link.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace cardsim {

namespace {

[[noreturn]] void Fail(const std::string &what, int error = errno)
{
    throw std::runtime_error(what + ": " + std::strerror(error));
}

[[noreturn]] void RefuseToReplace(const std::filesystem::path &link)
{
    throw std::runtime_error(link.string() + " already exists (" + Describe(link)
                             + ") and is not this card's; not replacing it. Remove it, or choose another --com");
}

// Makes the folders of `folder` that are missing, each private (0700)
// whatever the umask: in a folder that others may write, another user could
// put a comN of theirs before the card's, or in its place.
void MakePrivateFolders(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> missing;
    struct stat st {};
    for (auto at = folder.lexically_normal(); !at.empty() && stat(at.c_str(), &st) != 0; at = at.parent_path()) {
        if (errno != ENOENT)
            Fail("cannot create the device folder " + folder.string());
        if (at.has_filename()) // "a/b/" names the folder "a/b" again
            missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0700) != 0) {
            if (errno == EEXIST) // made by someone else meanwhile: theirs to keep as they like
                continue;
            Fail("cannot create the device folder " + folder.string());
        }
        // The umask may have taken away our own bits.
        const int fd = open(it->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const bool made = fd >= 0 && fchmod(fd, 0700) == 0;
        const int error = errno;
        if (fd >= 0)
            close(fd);
        if (!made)
            Fail("cannot create the device folder " + folder.string(), error);
    }
}

} // namespace

std::string Describe(const std::filesystem::path &path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return "something";
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(path, ec);
        return "a link to " + (ec ? std::string("an unreadable target") : target.string());
    }
    if (S_ISREG(st.st_mode))
        return "a regular file";
    if (S_ISDIR(st.st_mode))
        return "a folder";
    return "a special file";
}

CardPort::CardPort(const std::filesystem::path &folder, int com)
    : link_(folder / ("com" + std::to_string(com)))
{
    MakePrivateFolders(folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw std::runtime_error(folder.string() + " is not a folder");
    struct stat st {};
    if (lstat(link_.c_str(), &st) == 0)
        RefuseToReplace(link_);

    notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_ < 0)
        Fail("inotify");
    try {
        OpenPseudoTerminal();
    } catch (...) {
        close(notify_);
        throw;
    }
    if (symlink(device_.c_str(), link_.c_str()) != 0) {
        const int error = errno;
        close(master_);
        close(notify_);
        if (error == EEXIST)
            RefuseToReplace(link_);
        Fail("cannot create " + link_.string(), error);
    }
}

CardPort::~CardPort()
{
    if (LinkIsOurs())
        unlink(link_.c_str());
    close(master_);
    close(notify_);
}

// Line settings are made through the master, so that nobody opens (and by
// closing, hangs up) the slave before the tool does.
void CardPort::OpenPseudoTerminal()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        Fail("cannot open a pseudo-terminal");
    char name[128] = {};
    termios t {};
    auto fail = [&](const char *what) {
        const int error = errno;
        close(master);
        Fail(what, error);
    };
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0
        || tcgetattr(master, &t) != 0)
        fail("cannot set up a pseudo-terminal");
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (tcsetattr(master, TCSANOW, &t) != 0)
        fail("cannot set the line settings");
    const int watch = inotify_add_watch(notify_, name, IN_OPEN);
    if (watch < 0)
        fail("cannot watch the pseudo-terminal");
    if (watch_ >= 0 && watch_ != watch)
        inotify_rm_watch(notify_, watch_);
    watch_ = watch;
    master_ = master;
    device_ = name;
}

bool CardPort::LinkIsOurs() const
{
    char target[256];
    const ssize_t n = readlink(link_.c_str(), target, sizeof target);
    return n > 0 && static_cast<std::size_t>(n) < sizeof target
        && std::string_view(target, static_cast<std::size_t>(n)) == device_;
}

bool CardPort::Closed() const
{
    pollfd p {master_, POLLIN, 0};
    // Bytes written just before a quick close are still to be read.
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
}

void CardPort::DrainWakeups()
{
    char events[4096];
    while (read(notify_, events, sizeof events) > 0) {
    }
}

bool CardPort::MakeReady()
{
    if (!LinkIsOurs())
        throw std::runtime_error(link_.string() + " no longer names this card's device; stopping");
    const int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // The tool came back before this ran, and holds it exclusively.
        if (errno == EBUSY && !Closed())
            return false;
        // EBUSY: exclusive, and we may not override that.
        Renew();
        return true;
    }
    ioctl(fd, TIOCNXCL);
    tcflush(fd, TCIFLUSH);
    close(fd);
    DrainWakeups(); // our own open
    return false;
}

void CardPort::Renew()
{
    const int oldMaster = master_;
    const std::string oldDevice = device_;
    OpenPseudoTerminal();
    // Swapped in whole, so that the tool never finds comN missing.
    if (const int error = devices::ReplaceLink(device_, link_); error != 0) {
        close(master_);
        master_ = oldMaster;
        device_ = oldDevice;
        Fail("cannot point " + link_.string() + " at a new device", error);
    }
    close(oldMaster);
}

} // namespace cardsim
