#include "port_messages.h"

#include "printable.h"

#include <unistd.h>

#include <cerrno>

namespace portlink {

// One whole line on stderr, in one write so that it is never interleaved.
// Our own texts hold no control characters, so escaping the whole line keeps
// a device or file name in it from breaking the line.
void Complain(const std::string &text)
{
    const std::string line = "portlink: " + devices::Printable(text) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            return;
    }
}

namespace {

// A device the caller named by its path is named alone: no mapping to mend.
std::string DeviceFailure(const devices::DeviceName &device, Refusal refusal, const std::string &holder,
                          const std::string &why)
{
    switch (refusal) {
    case Refusal::Held:
        return device.shown + " is in use by " + holder;
    case Refusal::NotTerminal:
        return device.shown + " is not a terminal";
    case Refusal::Console:
        return device.shown + " is the system console, never a card (tovrik-ports lists the serial devices present)";
    case Refusal::OtherTerminal:
        return device.shown + " stands for another terminal, not a serial line";
    case Refusal::NoUart:
        return device.shown + " has no UART behind it (not connected)";
    case Refusal::None:
        break;
    }
    return "cannot open " + device.shown + ": " + why;
}

} // namespace

std::string Named(int port, const devices::DeviceName &device)
{
    return device.given ? device.shown : "COM" + std::to_string(port) + " (" + device.shown + ")";
}

std::string IsBack(int port, const devices::DeviceName &device)
{
    return device.given ? device.shown + " is back" : "COM" + std::to_string(port) + " is back (" + device.shown + ")";
}

// The line for a port that did not open. A device let go again is named as
// the port leads to it: an unmapped COM n reaches a built-in port by default,
// which the user never chose.
std::string OpenFailure(int port, const devices::DeviceName &device, Refusal refusal, const std::string &holder,
                        const std::string &why)
{
    if (device.given)
        return DeviceFailure(device, refusal, holder, why);
    const std::string com = "COM" + std::to_string(port);
    const std::string named = Named(port, device);
    const std::string remap = ": map " + com + " to the card's adapter with tovrik-ports map --force "
        + std::to_string(port) + " DEVICE";
    switch (refusal) {
    case Refusal::Held:
        return named + " is in use by " + holder;
    case Refusal::Console:
        return device.mapped ? named + " is the system console" + remap
                             : com + " has no mapping, and " + device.path + " is the system console";
    case Refusal::NoUart:
        return device.mapped ? named + " has no UART behind it (not connected)"
                             : com + " has no mapping, and " + device.path + " has no UART behind it (not connected)";
    case Refusal::OtherTerminal:
        return named + " stands for another terminal, not a serial line" + remap;
    case Refusal::NotTerminal: // "not a serial device", as any other failure
    case Refusal::None:
        break;
    }
    return "cannot open " + named + ": " + why;
}

} // namespace portlink
