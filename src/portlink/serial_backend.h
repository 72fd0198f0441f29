// One open serial device as the library drives it. The termios backend is the
// only one so far; another platform would add its own beside it and its own
// OpenSerialDevice.
#pragma once

#include "device_identity.h"
#include "serial_devices.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace portlink {

enum class WriteResult { Written, NoRoom, Failed };

struct ReadResult {
    std::size_t count = 0; // bytes placed in the buffer
    bool hungUp = false;   // the line is gone; nothing more will come
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default; // releases the device

    // 9600 baud, 8 data bits, no parity, 1 stop bit, raw, no flow control,
    // modem lines ignored.
    [[nodiscard]] virtual bool Configure() = 0;
    // Queues one byte, waiting at most `wait` for room in the output buffer.
    [[nodiscard]] virtual WriteResult Write(std::uint8_t byte, std::chrono::milliseconds wait) = 0;
    // True while queued bytes have not yet left the device.
    [[nodiscard]] virtual bool Sending() = 0;
    // How many bytes wait in the output queue; 0 when unknown.
    [[nodiscard]] virtual std::size_t Queued() = 0;
    // Throws away what is still queued.
    virtual void DiscardQueued() = 0;
    // The port is about to close: wakes a write that waits for room and
    // refuses every later one, so that closing never waits on a writer.
    virtual void Interrupt() = 0;
    // True once the line has hung up or the device failed; may look at the
    // device to notice it.
    [[nodiscard]] virtual bool HungUp() { return Failed(); }

    // What the reader waits on: readable when bytes came or the line hung up.
    [[nodiscard]] virtual int WaitHandle() const = 0;
    // Reads what has come without waiting. `lineEvent` says the wait reported
    // a hang-up or an error, so that "nothing to read" then means "gone".
    [[nodiscard]] virtual ReadResult Read(std::span<std::uint8_t> buffer, bool lineEvent) = 0;

    // Once the device has failed or hung up it stays failed: writes are
    // refused and the reader leaves it alone.
    [[nodiscard]] bool Failed() const { return failed_.load(std::memory_order_acquire); }

protected:
    void MarkFailed() { failed_.store(true, std::memory_order_release); }

private:
    std::atomic<bool> failed_ {false};
};

// Why an open device was let go again: it can never be the card, or another
// program has it. PortLink words its message from this.
enum class Refusal { None, NotTerminal, Console, OtherTerminal, NoUart, Held };

struct OpenOutcome {
    std::unique_ptr<SerialBackend> port; // null on failure
    std::string why;                     // on failure: the reason, for the user
    Refusal refusal = Refusal::None;
    std::string holder = {};             // when held: "screen (PID 4242)"
    devices::NodeId node {};             // when open: what was opened, from its descriptor
};

// Opens `device` exclusively, without blocking and without making it the
// controlling terminal, and puts the line in raw mode at once. Refuses a
// console, a built-in port with no UART and a device another process has
// open, judged on the opened descriptor.
[[nodiscard]] OpenOutcome OpenSerialDevice(const std::string &device);
// The same, with sysfs and /proc looked up below `roots`.
[[nodiscard]] OpenOutcome OpenSerialDeviceIn(const devices::SystemRoots &roots, const std::string &device);

// How a port's device is opened; tests hand in devices of their own.
using DeviceOpener = std::function<OpenOutcome(const std::string &device)>;

} // namespace portlink
