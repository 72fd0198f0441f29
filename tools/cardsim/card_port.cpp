#include "card_port.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace cardsim {

namespace {

[[noreturn]] void Fail(const std::string &what, int error = errno)
{
    throw std::runtime_error(what + ": " + std::strerror(error));
}

// A new pseudo-terminal, its master returned and its slave's path in
// `device`. Line settings are made through the master, so that nobody
// opens (and by closing, hangs up) the slave before the tool does.
int OpenPseudoTerminal(std::string &device)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        Fail("cannot open a pseudo-terminal");
    char name[128] = {};
    termios t {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0
        || tcgetattr(master, &t) != 0) {
        const int error = errno;
        close(master);
        Fail("cannot set up a pseudo-terminal", error);
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (tcsetattr(master, TCSANOW, &t) != 0) {
        const int error = errno;
        close(master);
        Fail("cannot set the line settings", error);
    }
    device = name;
    return master;
}

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

[[noreturn]] void RefuseToReplace(const std::filesystem::path &link)
{
    throw std::runtime_error(link.string() + " already exists (" + Describe(link)
                             + ") and is not this card's; not replacing it. Remove it, or choose another --com");
}

} // namespace

std::filesystem::path DeviceFolder()
{
    if (const char *dir = std::getenv("PORTLINK_DEVICE_DIR"); dir && *dir)
        return dir;
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "portlink";
    const char *home = std::getenv("HOME");
    if (!home || !*home)
        throw std::runtime_error("neither PORTLINK_DEVICE_DIR, XDG_CONFIG_HOME nor HOME is set");
    return std::filesystem::path(home) / ".config" / "portlink";
}

CardPort::CardPort(const std::filesystem::path &folder, int com)
    : link_(folder / ("com" + std::to_string(com)))
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw std::runtime_error("cannot create the device folder " + folder.string() + ": " + ec.message());
    if (!std::filesystem::is_directory(folder, ec))
        throw std::runtime_error(folder.string() + " is not a folder");
    struct stat st {};
    if (lstat(link_.c_str(), &st) == 0)
        RefuseToReplace(link_);

    master_ = OpenPseudoTerminal(device_);
    if (symlink(device_.c_str(), link_.c_str()) != 0) {
        const int error = errno;
        close(master_);
        if (error == EEXIST)
            RefuseToReplace(link_);
        Fail("cannot create " + link_.string(), error);
    }
}

CardPort::~CardPort()
{
    if (LinkIsOurs())
        unlink(link_.c_str());
    if (master_ >= 0)
        close(master_);
}

bool CardPort::LinkIsOurs() const
{
    char target[256];
    const ssize_t n = readlink(link_.c_str(), target, sizeof target);
    return n > 0 && static_cast<std::size_t>(n) < sizeof target
        && std::string_view(target, static_cast<std::size_t>(n)) == device_;
}

void CardPort::Renew()
{
    if (!LinkIsOurs())
        throw std::runtime_error(link_.string() + " no longer names this card's device; stopping");
    std::string device;
    const int master = OpenPseudoTerminal(device);
    // Swapped in with a rename, so that the tool never finds comN missing.
    const auto fresh = link_.parent_path() / ("." + link_.filename().string() + "." + std::to_string(getpid()));
    unlink(fresh.c_str());
    if (symlink(device.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link_.c_str()) != 0) {
        const int error = errno;
        unlink(fresh.c_str());
        close(master);
        Fail("cannot point " + link_.string() + " at " + device, error);
    }
    close(master_);
    master_ = master;
    device_ = device;
}

} // namespace cardsim
