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

// A device node as stat sees it: which node it is, which device it stands
// for, and when it was made (a pseudo-terminal's node is made with the
// terminal, and made anew when another program takes its name).
struct NodeId {
    dev_t device = 0;
    ino_t inode = 0;
    dev_t rdev = 0;
    timespec changed {};
};

// The same node for the same device: what a name leads to is what was opened.
[[nodiscard]] bool SameNode(const NodeId &a, const NodeId &b);

// What `path` leads to now, following links; nothing when it leads nowhere.
[[nodiscard]] std::optional<NodeId> NodeOf(const std::filesystem::path &path);
// What the descriptor `fd` has open.
[[nodiscard]] std::optional<NodeId> NodeOfDescriptor(int fd);

// What a port was when it opened.
struct OpenedDevice {
    int port = 0;
    DeviceName name;
    std::optional<EntryStamp> entry; // for a mapped port
    NodeId node;                     // what was opened, from its descriptor
    std::string stableName;          // its name under /dev/serial/by-id, if any
    std::string usbPort;             // the sysfs folder of the USB device behind it, if any
    bool fixed = false;              // a built-in port (ttyS), which no other device can become
};

// Looks at `name`, which has just been opened as COM `port`; `entry` is the
// stamp taken before opening, `node` what the descriptor has open.
[[nodiscard]] OpenedDevice DescribeOpened(int port, const DeviceName &name, const std::optional<EntryStamp> &entry,
                                          const NodeId &node, const SystemRoots &roots);

[[nodiscard]] std::optional<EntryStamp> StampOf(const std::filesystem::path &entry);

// Why the link `comN` at `link` may not be followed: it or its folder
// belongs to another user, or the folder may be written by others, so that
// someone else could point COM n at a device of their choosing. Nothing when
// it may.
[[nodiscard]] std::optional<std::string> UntrustedLink(const std::filesystem::path &link);

// Nothing when `opened` is what the mapped `name` leads to now, and its link
// is still the one stamped `entry` before opening; otherwise why not. A link
// taken because it was made anew must also be no older than what it opened.
struct Mismatch {
    std::string why;
    bool raced = false; // the link changed while opening: looking again may do
};
[[nodiscard]] std::optional<Mismatch> OpenedOtherThanNamed(const DeviceName &name,
                                                           const std::optional<EntryStamp> &entry,
                                                           const NodeId &opened, bool linkMadeAnew);

// What to open to reach `last` again, or why not yet.
struct ReopenVerdict {
    std::optional<DeviceName> open;
    std::optional<EntryStamp> entry; // the stamp the verdict was made on
    bool linkMadeAnew = false;       // taken because the link is not the one opened before
    std::string why;                 // when not: for the user
};

[[nodiscard]] ReopenVerdict DecideReopen(const OpenedDevice &last, const SystemRoots &roots);

} // namespace devices
