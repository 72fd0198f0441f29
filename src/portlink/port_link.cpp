#include "port_link.h"

#include "port_messages.h"
#include "port_names.h"
#include "printable.h"
#include "serial_backend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace portlink {

using namespace std::chrono_literals;

namespace {

// 9600 baud with one start, eight data and one stop bit.
constexpr std::size_t kBytesPerSecond = 960;

} // namespace

PortLink::~PortLink()
{
    Stop();
    Close();
    StopLogging();
}

bool PortLink::Run()
{
    std::lock_guard life(lifecycle_);
    if (reader_.joinable())
        return true;
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        return false;
    {
        std::lock_guard lock(mu_);
        stopping_ = false;
        wakeFd_ = fd;
    }
    try {
        reader_ = std::thread(&PortLink::ReaderLoop, this, fd);
    } catch (...) {
        std::lock_guard lock(mu_);
        ::close(fd);
        wakeFd_ = -1;
        return false;
    }
    return true;
}

void PortLink::Stop()
{
    std::lock_guard life(lifecycle_);
    StopLocked();
}

void PortLink::StopLocked()
{
    if (!reader_.joinable())
        return;
    {
        std::lock_guard lock(mu_);
        stopping_ = true;
        WakeReader();
    }
    reader_.join();
    std::lock_guard lock(mu_);
    ::close(wakeFd_);
    wakeFd_ = -1;
}

bool PortLink::Open(int port)
{
    std::lock_guard life(lifecycle_);
    CloseLocked();
    awaiting_ = false; // a port chosen anew ends any wait
    if (port < devices::kFirstPort || port > devices::kLastPort) {
        FailOpen("COM" + std::to_string(port) + ": no such port (COM" + std::to_string(devices::kFirstPort) + " to COM"
                 + std::to_string(devices::kLastPort) + ")");
        return false;
    }
    return OpenLookingUp(port, [&] { return devices::DeviceForPort(port, roots_.dev).value(); });
}

bool PortLink::OpenPath(const std::string &path)
{
    std::lock_guard life(lifecycle_);
    CloseLocked();
    awaiting_ = false; // a device chosen anew ends any wait
    if (path.empty()) {
        FailOpen("no device named: give the path of a serial device, such as /dev/ttyUSB0");
        return false;
    }
    const auto device = devices::DeviceAtPath(path);
    return OpenLookingUp(0, [&] { return device; });
}

bool PortLink::OpenLookingUp(int port, const std::function<devices::DeviceName()> &lookUp)
{
    // A link replaced while open() followed it (a card restarting) is
    // looked up again, a few times at most.
    for (int attempt = 1;; ++attempt) {
        const auto device = lookUp();
        const auto untrusted = device.mapped ? devices::UntrustedLink(device.path) : std::nullopt;
        const auto entry = device.mapped ? devices::StampOf(device.path) : std::nullopt;
        std::string why = untrusted.value_or("");
        refused_ = Refusal::None;
        const auto opening = untrusted ? Opening::Refused : OpenDevice(port, device, entry, false, why);
        if (opening == Opening::Opened)
            return true;
        if (opening == Opening::Refused || attempt == 3) {
            FailOpen(OpenFailure(port, device, refused_, holder_, why));
            return false;
        }
    }
}

bool PortLink::Reopen()
{
    std::lock_guard life(lifecycle_);
    CloseLocked();
    if (!opened_) {
        FailOpen("no port has been opened to open again");
        return false;
    }
    const int port = opened_->port;
    const auto verdict = devices::DecideReopen(*opened_, roots_);
    std::string why = verdict.why;
    if (verdict.open && OpenDevice(port, *verdict.open, verdict.entry, verdict.linkMadeAnew, why) == Opening::Opened) {
        if (awaiting_)
            Complain(IsBack(port, *verdict.open));
        awaiting_ = false;
        return true;
    }
    // What is awaited stays the device that went away.
    AwaitCard("waiting for " + Named(port, opened_->name) + " to come back: " + why);
    return false;
}

void PortLink::AwaitCard(const std::string &why)
{
    // One line when the wait starts, not one a retry.
    if (!awaiting_)
        Complain(why);
    awaiting_ = true;
    std::lock_guard lock(mu_);
    openError_ = devices::Printable(why);
}

PortLink::Opening PortLink::OpenDevice(int port, const devices::DeviceName &device,
                                       const std::optional<devices::EntryStamp> &entry, bool linkMadeAnew,
                                       std::string &why)
{
    auto outcome = opener_(device.path);
    if (!outcome.port) {
        why = outcome.why;
        refused_ = outcome.refusal;
        holder_ = outcome.holder;
        return Opening::Refused;
    }
    // The identity is what the descriptor has open, held against the name
    // as it is now: never a stamp of a link that open() did not follow.
    if (auto other = devices::OpenedOtherThanNamed(device, entry, outcome.node, linkMadeAnew)) {
        why = other->why;
        return other->raced ? Opening::Raced : Opening::Refused;
    }
    opened_ = devices::DescribeOpened(port, device, entry, outcome.node, roots_);
    std::lock_guard lock(mu_);
    port_ = std::move(outcome.port);
    openError_.clear();
    unconfirmed_ = false;
    lost_ = false;
    queue_.Clear(); // nothing from an earlier port
    WakeReader();   // so that it starts reading this one
    return Opening::Opened;
}

void PortLink::FailOpen(const std::string &why)
{
    Complain(why);
    std::lock_guard lock(mu_);
    openError_ = devices::Printable(why);
}

std::string PortLink::OpenError()
{
    std::lock_guard lock(mu_);
    return openError_;
}

bool PortLink::Configure()
{
    std::lock_guard life(lifecycle_);
    auto port = Borrow();
    if (!port)
        return false;
    const bool ok = port->Configure();
    GiveBack(port);
    if (!ok && opened_)
        FailOpen("cannot configure " + Named(opened_->port, opened_->name)
                 + ": the device refused 9600 baud, 8 data bits, no parity, 1 stop bit, raw");
    return ok;
}

void PortLink::Close()
{
    std::lock_guard life(lifecycle_);
    CloseLocked();
}

void PortLink::CloseLocked()
{
    Port port = Borrow();
    if (!port)
        return;
    port->Interrupt(); // a writer waiting for room must not hold the close up
    Drain(*port);      // the reader goes on logging meanwhile
    NoteLineState(*port);
    std::unique_lock lock(mu_);
    port_.reset();
    WakeReader();
    returned_.wait(lock, [&] { return port.use_count() == 1; });
    lock.unlock();
    port.reset(); // the last reference: the device is released here
}

void PortLink::Drain(SerialBackend &port)
{
    if (!port.Sending())
        return;
    const auto limit = 1s + std::chrono::milliseconds(port.Queued() * 1000 / kBytesPerSecond);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (port.Sending() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    port.DiscardQueued();
}

bool PortLink::Write(std::uint8_t byte, std::chrono::milliseconds wait)
{
    auto port = Borrow();
    if (!port)
        return false;
    const bool ok = port->Write(byte, wait) == WriteResult::Written;
    if (ok)
        unconfirmed_ = true;
    NoteLineState(*port);
    GiveBack(port);
    return ok;
}

bool PortLink::Sending()
{
    auto port = Borrow();
    if (!port)
        return false;
    const bool busy = port->Sending();
    if (!busy && !port->Failed())
        unconfirmed_ = false; // all seen gone while the line was up
    NoteLineState(*port);
    GiveBack(port);
    return busy;
}

bool PortLink::LineUp()
{
    auto port = Borrow();
    if (!port)
        return false;
    const bool up = !port->HungUp();
    NoteLineState(*port);
    GiveBack(port);
    return up;
}

void PortLink::NoteLineState(SerialBackend &port)
{
    if (port.Failed() && unconfirmed_.exchange(false))
        lost_ = true;
}

bool PortLink::ReadByte(std::uint8_t &byte, std::chrono::milliseconds wait)
{
    std::unique_lock lock(mu_);
    if (!received_.wait_for(lock, wait, [&] { return !queue_.Empty(); }))
        return false;
    byte = *queue_.Pop();
    return true;
}

bool PortLink::StartLogging(const char *name)
{
    std::lock_guard lock(logMu_);
    std::string why;
    const std::string fileName = name ? name : "";
    logError_.clear();
    if (!log_.Open(fileName, why)) { // closes an earlier file first
        Complain("cannot log to '" + fileName + "': " + why);
        logError_ = devices::Printable(why);
        return false;
    }
    std::lock_guard wake(mu_);
    WakeReader(); // so that it looks after the file while the card is quiet
    return true;
}

void PortLink::StopLogging()
{
    std::lock_guard lock(logMu_);
    log_.Close();
}

bool PortLink::Logging()
{
    std::lock_guard lock(logMu_);
    return log_.IsOpen();
}

bool PortLink::LogFileName(char *buffer, std::int32_t size)
{
    std::lock_guard lock(logMu_);
    if (!log_.IsOpen() || !buffer || size <= 0)
        return false;
    // A name cut short would name another file; write none instead.
    const std::string &name = log_.Name();
    if (name.size() >= static_cast<std::size_t>(size))
        return false;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

std::string PortLink::LogError()
{
    std::lock_guard lock(logMu_);
    return logError_;
}

void PortLink::EndLogging(const std::string &why)
{
    Complain("logging to '" + log_.Name() + "' stopped: " + why);
    logError_ = devices::Printable(why);
    log_.Close();
}

PortLink::Port PortLink::Borrow()
{
    std::lock_guard lock(mu_);
    return port_;
}

void PortLink::GiveBack(Port &port)
{
    if (!port)
        return;
    std::lock_guard lock(mu_);
    port.reset();
    returned_.notify_all();
}

void PortLink::WakeReader()
{
    if (wakeFd_ < 0)
        return;
    const std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PortLink::ReaderLoop(int wakeFd)
{
    std::array<std::uint8_t, 4096> buffer {};
    std::unique_lock lock(mu_);
    while (!stopping_) {
        // A failed port is left out: a hung-up tty reports POLLHUP for ever
        // and would keep this loop spinning.
        Port port = port_ && !port_->Failed() ? port_ : nullptr;
        lock.unlock();

        // While logging, wakes when the log is next due for a look, so that
        // a lost log is made again even when the card says nothing.
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {port ? port->WaitHandle() : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, LogWait());
        if (ready < 0 && errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(10)); // ENOMEM: do not spin
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto ignored = ::read(wakeFd, &count, sizeof count);
        }
        if (ready > 0 && port && fds[1].revents) {
            const bool lineEvent = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            const auto got = port->Read(buffer, lineEvent);
            if (got.count > 0)
                Deliver(std::span(buffer).first(got.count));
            NoteLineState(*port);
        }
        LookAfterLog();

        lock.lock();
        if (port) {
            port.reset();
            returned_.notify_all();
        }
    }
}

int PortLink::LogWait()
{
    std::lock_guard lock(logMu_);
    return log_.IsOpen() ? static_cast<int>(log_.UntilCheck().count()) : -1;
}

void PortLink::LookAfterLog()
{
    std::lock_guard lock(logMu_);
    std::string why;
    if (log_.IsOpen() && !log_.Check(why))
        EndLogging(why);
}

void PortLink::Deliver(std::span<const std::uint8_t> bytes)
{
    {
        std::lock_guard lock(logMu_);
        std::string why;
        // Going on would claim a log that is not being written.
        if (log_.IsOpen() && !log_.Append(bytes, why))
            EndLogging(why);
    }
    std::lock_guard lock(mu_);
    queue_.Push(bytes);
    received_.notify_all();
}

} // namespace portlink
