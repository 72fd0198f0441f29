#include "pty_pair.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace testsupport {

namespace {

void MakeRaw(int fd)
{
    termios t {};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

std::filesystem::path MakeTempDir(const char *prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    return pattern;
}

} // namespace

PtyPair::PtyPair(Slave slave)
{
    char name[128] = {};
    if (slave == Slave::Kept) {
        if (openpty(&masterFd_, &slaveKeepFd_, name, nullptr, nullptr) != 0)
            throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
        MakeRaw(slaveKeepFd_);
        fcntl(slaveKeepFd_, F_SETFD, FD_CLOEXEC);
    } else {
        // A device side never opened does not read as hung up on the card's.
        masterFd_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0
            || ptsname_r(masterFd_, name, sizeof name) != 0) {
            const int error = errno;
            if (masterFd_ >= 0)
                close(masterFd_);
            throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(error));
        }
    }
    slavePath_ = name;
    MakeRaw(masterFd_); // on a master, sets the device side's modes
    fcntl(masterFd_, F_SETFD, FD_CLOEXEC);
    fcntl(masterFd_, F_SETFL, fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (slaveKeepFd_ >= 0)
        close(slaveKeepFd_);
    if (masterFd_ >= 0)
        close(masterFd_);
}

std::string PtyPair::ReadExactly(std::size_t count, std::chrono::milliseconds timeout)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count && masterFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p {masterFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(masterFd_, buf, std::min(sizeof buf, count - out.size()));
        if (n > 0)
            out.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return out;
}

std::string PtyPair::ReadUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (masterFd_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p {masterFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(masterFd_, buf, sizeof buf);
        if (n > 0)
            out.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return out;
}

void PtyPair::Write(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p {masterFd_, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
        }
    }
}

void PtyPair::HangUp()
{
    if (slaveKeepFd_ >= 0) {
        close(slaveKeepFd_);
        slaveKeepFd_ = -1;
    }
    if (masterFd_ >= 0) {
        close(masterFd_);
        masterFd_ = -1;
    }
}

DeviceHolder::DeviceHolder(const std::string &device)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, device.c_str(), O_RDWR | O_NOCTTY, 0);
    char sleep[] = "sleep", seconds[] = "60";
    char *argv[] = {sleep, seconds, nullptr};
    pid_t pid = -1;
    // Returns once the child has opened the device and runs sleep.
    const int error = posix_spawnp(&pid, "sleep", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start a process holding " + device + ": " + std::strerror(error));
    pid_ = pid;
}

DeviceHolder::~DeviceHolder()
{
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

DeviceDir::DeviceDir() : path_(MakeTempDir("tovrik-dev-"))
{
    if (const char *old = std::getenv("PORTLINK_DEVICE_DIR")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("PORTLINK_DEVICE_DIR", path_.c_str(), 1);
}

DeviceDir::~DeviceDir()
{
    if (hadPrevious_)
        setenv("PORTLINK_DEVICE_DIR", previous_.c_str(), 1);
    else
        unsetenv("PORTLINK_DEVICE_DIR");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void DeviceDir::Map(int port, const std::string &device)
{
    Unmap(port);
    std::filesystem::create_symlink(device, path_ / ("com" + std::to_string(port)));
}

void DeviceDir::Unmap(int port)
{
    std::error_code ec;
    std::filesystem::remove(path_ / ("com" + std::to_string(port)), ec);
}

TempDir::TempDir() : path_(MakeTempDir("tovrik-test-")) {}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace testsupport
