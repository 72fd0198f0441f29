// Whether a device that has just been opened may be taken for the card:
// judged on the descriptor, so that what is judged is what was opened, not
// what a name led to a moment before.
#pragma once

#include "serial_devices.h"

#include <sys/types.h>

#include <optional>
#include <string>

namespace devices {

enum class Unfit {
    None,
    Console,     // where the kernel writes its messages, or a virtual console
    OtherTerminal, // /dev/tty or /dev/ptmx: they stand for another terminal
    NoUart,      // a built-in port with nothing behind it
};

// What rules the device open on `fd` out as the card, if anything: its
// device number against the consoles (those in <sys>/class/tty/console/active
// by their `dev` attribute), and for a built-in port its sysfs `type`.
[[nodiscard]] Unfit UnfitForCard(int fd, const SystemRoots &roots = {});
// The console part alone, for a device that cannot be opened.
[[nodiscard]] Unfit UnfitByNumber(dev_t device, const SystemRoots &roots = {});

struct Holder {
    pid_t pid = 0;
    std::string name; // from /proc/<pid>/comm
};

// Another process that has the character device `device` open, among those
// whose descriptors this user may see in <proc>/<pid>/fd, as fuser looks.
// One that lets go within a moment (the virtual card clearing its line
// after a hang-up, a udev probe) does not count.
[[nodiscard]] std::optional<Holder> FindHolder(dev_t device, const SystemRoots &roots = {});

// "screen (PID 4242)"
[[nodiscard]] std::string HolderName(const Holder &holder);

} // namespace devices
