// The library's one port, its reader thread, the bytes the card sent and the
// log file. One instance per process; every member may be called from any
// thread while the reader runs.
#pragma once

#include "byte_queue.h"
#include "device_identity.h"
#include "log_file.h"
#include "serial_backend.h"

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace portlink {

class PortLink {
public:
    explicit PortLink(DeviceOpener opener = OpenSerialDevice, devices::SystemRoots roots = {})
        : opener_(std::move(opener)), roots_(std::move(roots))
    {
    }
    ~PortLink(); // stops the reader, closes the port and the log
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    [[nodiscard]] bool Run();
    void Stop();

    [[nodiscard]] bool Open(int port);
    // Opens the device at `path` as Open opens a port's device.
    [[nodiscard]] bool OpenPath(const std::string &path);
    // Opens the port that went away again, only when it is the same device
    // (see DecideReopen); says once on stderr that it waits, and once that
    // the wait is over.
    [[nodiscard]] bool Reopen();
    [[nodiscard]] bool Configure();
    void Close();

    [[nodiscard]] bool Write(std::uint8_t byte, std::chrono::milliseconds wait);
    [[nodiscard]] bool Sending();
    [[nodiscard]] bool ReadByte(std::uint8_t &byte, std::chrono::milliseconds wait);

    [[nodiscard]] bool LineUp();
    [[nodiscard]] bool LostData() const { return lost_.load(); }
    // The reason the last open failed; empty after a successful one.
    [[nodiscard]] std::string OpenError();

    [[nodiscard]] bool StartLogging(const char *name);
    void StopLogging();
    [[nodiscard]] bool Logging();
    [[nodiscard]] bool LogFileName(char *buffer, std::int32_t size);
    // Why logging stopped by itself, or the last StartLogging failed; empty
    // when it has not since the last StartLogging.
    [[nodiscard]] std::string LogError();

private:
    // Calls use the port outside mu_ (a write may wait for room); close waits
    // until every borrowed reference is back before the descriptor goes.
    using Port = std::shared_ptr<SerialBackend>;
    [[nodiscard]] Port Borrow();
    void GiveBack(Port &port);

    void CloseLocked();
    // Lets the queued bytes leave, at most the time they need at the line
    // rate plus one second, then discards the rest.
    static void Drain(SerialBackend &port);
    void StopLocked();
    void WakeReader();
    void ReaderLoop(int wakeFd);
    void Deliver(std::span<const std::uint8_t> bytes);
    // With logMu_ held: says why on stderr, keeps the reason, closes the log.
    void EndLogging(const std::string &why);
    // Makes a deleted or moved log again, or stops logging when it cannot.
    void LookAfterLog();
    // The reader's poll timeout: until the log's next look, or none.
    [[nodiscard]] int LogWait();
    // Bytes accepted since the queue was last seen empty are lost when the
    // line fails under them.
    void NoteLineState(SerialBackend &port);
    void FailOpen(const std::string &why);
    enum class Opening { Opened, Refused, Raced };
    // With lifecycle_ held: opens what `lookUp` names as port `port` (0 for
    // a device named by its path), or says why not.
    [[nodiscard]] bool OpenLookingUp(int port, const std::function<devices::DeviceName()> &lookUp);
    // With lifecycle_ held. Raced: what the name leads to changed while it
    // was opened, and nothing was kept.
    [[nodiscard]] Opening OpenDevice(int port, const devices::DeviceName &device,
                                     const std::optional<devices::EntryStamp> &entry, bool linkMadeAnew,
                                     std::string &why);
    void AwaitCard(const std::string &why);

    static constexpr std::size_t kQueueCapacity = 64 * 1024;

    const DeviceOpener opener_;
    const devices::SystemRoots roots_;

    std::mutex lifecycle_; // Run, Stop, Open, Configure and Close one at a time
    std::thread reader_;   // with lifecycle_ held
    std::optional<devices::OpenedDevice> opened_; // the last port opened, with lifecycle_ held
    bool awaiting_ = false;              // Reopen has said that it waits; with lifecycle_ held
    Refusal refused_ = Refusal::None;    // why the last open let the device go; with lifecycle_ held
    std::string holder_;                 // who had it, when held

    std::mutex mu_;
    std::condition_variable returned_; // a borrowed port came back
    std::condition_variable received_; // the card sent bytes
    Port port_;
    ByteQueue queue_ {kQueueCapacity};
    int wakeFd_ = -1;
    bool stopping_ = false;
    std::string openError_;

    std::atomic<bool> unconfirmed_ {false}; // accepted, not yet seen gone
    std::atomic<bool> lost_ {false};

    std::mutex logMu_;
    LogFile log_;
    std::string logError_; // with logMu_ held
};

} // namespace portlink
