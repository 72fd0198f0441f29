// The termios backend: a tty descriptor opened non-blocking, locked with
// flock and TIOCEXCL, written one byte at a time straight into the kernel's
// output queue, which sends in the background.
#include "serial_backend.h"

#include "device_use.h"
#include "exclusive_open.h"
#include "permission_advice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace portlink {

namespace {

using Clock = std::chrono::steady_clock;

// Every reason an open can fail, said once, for the one line on stderr.
std::string DescribeOpenError(int error, const std::string &device)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "no such device (is the adapter plugged in?)";
    case EACCES:
    case EPERM:
        if (auto advice = devices::PermissionAdvice(devices::LookUpAccess(device)); !advice.empty())
            return "permission denied; " + advice;
        return "permission denied";
    case EBUSY:
    case EWOULDBLOCK:
        return "the device is in use by another program";
    case ENOTTY:
        return "not a serial device";
    default:
        return std::error_code(error, std::generic_category()).message();
    }
}

int OpenRetrying(const char *path, int flags)
{
    int fd;
    do {
        fd = ::open(path, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Raw 8N1 at 9600 baud. Returns 0 or the errno of the step that failed.
int ApplyLineSettings(int fd)
{
    termios t {};
    if (tcgetattr(fd, &t) != 0)
        return errno;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // A read then returns at least one byte or EAGAIN, so zero bytes can only
    // mean the line hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    int rc;
    do {
        rc = tcsetattr(fd, TCSANOW, &t);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return errno;
    // tcsetattr succeeds when any one setting took; make sure the ones we
    // need did.
    termios now {};
    if (tcgetattr(fd, &now) != 0)
        return errno;
    if ((now.c_cflag & CSIZE) != CS8 || (now.c_lflag & ICANON) || cfgetospeed(&now) != B9600)
        return EINVAL;
    return 0;
}

class PosixSerialBackend final : public SerialBackend {
public:
    PosixSerialBackend(int fd, int interruptFd) : fd_(fd), interruptFd_(interruptFd) {}

    ~PosixSerialBackend() override
    {
        // The tty keeps its exclusive flag while anyone else has it open.
        ioctl(fd_, TIOCNXCL);
        ::close(fd_); // also drops the flock; never retried, the fd is gone either way
        ::close(interruptFd_);
    }

    bool Configure() override
    {
        if (Failed())
            return false;
        if (const int error = ApplyLineSettings(fd_); error != 0) {
            if (error == EIO)
                MarkFailed();
            return false;
        }
        // Assert DTR and RTS in case an earlier program dropped them; a
        // pseudo-terminal has no modem lines and refuses, which is fine.
        int lines = TIOCM_DTR | TIOCM_RTS;
        ioctl(fd_, TIOCMBIS, &lines);
        return true;
    }

    WriteResult Write(std::uint8_t byte, std::chrono::milliseconds wait) override
    {
        if (Failed())
            return WriteResult::Failed;
        if (interrupted_.load(std::memory_order_acquire))
            return WriteResult::NoRoom;
        Clock::time_point deadline {};
        bool waiting = false;
        for (;;) {
            const ssize_t n = ::write(fd_, &byte, 1);
            if (n == 1)
                return WriteResult::Written;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                MarkFailed(); // EIO: hung up
                return WriteResult::Failed;
            }
            // The output buffer is full: wait for room, no longer than `wait`.
            const auto now = Clock::now();
            if (!waiting) {
                deadline = now + wait;
                waiting = true;
            }
            if (now >= deadline)
                return WriteResult::NoRoom;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            pollfd p[2] = {{fd_, POLLOUT, 0}, {interruptFd_, POLLIN, 0}};
            if (poll(p, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
                MarkFailed();
                return WriteResult::Failed;
            }
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                MarkFailed();
                return WriteResult::Failed;
            }
            if (p[1].revents & POLLIN)
                return WriteResult::NoRoom; // the port is closing
        }
    }

    bool Sending() override
    {
        if (Failed() || HungUpNow())
            return false;
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
            if (errno == EIO)
                MarkFailed();
            return false;
        }
        if (queued > 0)
            return true;
        // A UART may still be shifting out its last byte with the queue
        // empty; a pseudo-terminal or USB adapter does not answer this.
        unsigned int lsr = 0;
        return ioctl(fd_, TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT);
    }

    std::size_t Queued() override
    {
        int count = 0;
        return !Failed() && ioctl(fd_, TIOCOUTQ, &count) == 0 && count > 0 ? static_cast<std::size_t>(count) : 0;
    }

    void DiscardQueued() override
    {
        // Left queued, the bytes would make close() wait on its own (for a
        // UART, up to half a minute).
        if (!Failed())
            tcflush(fd_, TCOFLUSH);
    }

    void Interrupt() override
    {
        interrupted_.store(true, std::memory_order_release);
        // Left readable for good, so that a writer about to wait sees it too.
        const std::uint64_t one = 1;
        while (::write(interruptFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    bool HungUp() override { return Failed() || HungUpNow(); }

    int WaitHandle() const override { return fd_; }

    ReadResult Read(std::span<std::uint8_t> buffer, bool lineEvent) override
    {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n > 0)
                return {static_cast<std::size_t>(n), false};
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !lineEvent)
                return {0, false};
            // Zero bytes (end of file), EIO, or nothing left after a hang-up.
            MarkFailed();
            return {0, true};
        }
    }

private:
    bool HungUpNow()
    {
        pollfd p {fd_, 0, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            MarkFailed();
            return true;
        }
        return false;
    }

    int fd_;
    int interruptFd_;
    std::atomic<bool> interrupted_ {false};
};

} // namespace

OpenOutcome OpenSerialDevice(const std::string &device)
{
    return OpenSerialDeviceIn({}, device);
}

OpenOutcome OpenSerialDeviceIn(const devices::SystemRoots &roots, const std::string &device)
{
    const int fd = OpenRetrying(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, DescribeOpenError(errno, device)};
    auto fail = [&](int error) {
        ::close(fd);
        return OpenOutcome {nullptr, DescribeOpenError(error, device)};
    };
    auto refuse = [&](Refusal refusal, std::string why, std::string holder = {}) {
        ::close(fd);
        return OpenOutcome {nullptr, std::move(why), refusal, std::move(holder)};
    };
    if (!isatty(fd))
        return refuse(Refusal::NotTerminal, DescribeOpenError(ENOTTY, device));
    // Judged on what was opened, before the lock: bytes meant for the card
    // must never reach a console or mix with another program's.
    switch (devices::UnfitForCard(fd, roots)) {
    case devices::Unfit::Console:
        return refuse(Refusal::Console, "it is the system console");
    case devices::Unfit::OtherTerminal:
        return refuse(Refusal::OtherTerminal, "it stands for another terminal, not a serial line");
    case devices::Unfit::NoUart:
        return refuse(Refusal::NoUart, "it has no UART behind it (not connected)");
    case devices::Unfit::None:
        break;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    // Held first, so that nobody but root opens it while we look for those
    // who had it open before us; a program whose lock beat ours is named too.
    const int held = devices::HoldExclusively(fd);
    if (held != 0 && held != EWOULDBLOCK)
        return fail(held);
    if (const auto holder = devices::FindHolder(st.st_rdev, roots)) {
        if (held == 0)
            ioctl(fd, TIOCNXCL);
        const std::string name = devices::HolderName(*holder);
        return refuse(Refusal::Held, "it is in use by " + name, name);
    }
    if (held != 0)
        return fail(held);
    // Raw at once, so that nothing the card sends before configuration is
    // cooked, echoed or taken for end-of-file.
    if (const int error = ApplyLineSettings(fd); error != 0) {
        ioctl(fd, TIOCNXCL);
        return fail(error);
    }
    const int interruptFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (interruptFd < 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return fail(error);
    }
    OpenOutcome opened {std::make_unique<PosixSerialBackend>(fd, interruptFd), {}};
    opened.node = devices::NodeOfDescriptor(fd).value_or(devices::NodeId {});
    return opened;
}

} // namespace portlink
