// Whether COM n, opened once, still leads to the same device: a port that
// went away is opened again only then, never another device that now has
// its name (the built-in port, someone else's terminal).
#pragma once

#include "port_names.h"
#include "serial_devices.h"

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace devices {

// The entry `comN` itself, not what it leads to: a link made anew (a
// restarted card, a new mapping) differs from the old one here.
struct EntryStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed {};

    friend bool operator==(const EntryStamp &a, const EntryStamp &b)
    {
        return a.device == b.device && a.inode == b.inode && a.changed.tv_sec == b.changed.tv_sec
            && a.changed.tv_nsec == b.changed.tv_nsec;
    }
};

// What a port was when it opened.
struct OpenedDevice {
    int port = 0;
    DeviceName name;
    std::optional<EntryStamp> entry; // for a mapped port
    std::string stableName;          // its name under /dev/serial/by-id, if any
    std::string usbPort;             // the sysfs folder of the USB device behind it, if any
    bool fixed = false;              // a built-in port (ttyS), which no other device can become
};

// Looks at `name`, which has just been opened as COM `port`; `entry` is the
// stamp taken before opening.
[[nodiscard]] OpenedDevice DescribeOpened(int port, const DeviceName &name, const std::optional<EntryStamp> &entry,
                                          const SystemRoots &roots);

[[nodiscard]] std::optional<EntryStamp> StampOf(const std::filesystem::path &entry);

// What to open to reach `last` again, or why not yet.
struct ReopenVerdict {
    std::optional<DeviceName> open;
    std::optional<EntryStamp> entry; // the stamp the verdict was made on
    std::string why;                 // when not: for the user
};

[[nodiscard]] ReopenVerdict DecideReopen(const OpenedDevice &last, const SystemRoots &roots);

} // namespace devices
