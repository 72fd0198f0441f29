// Which device COM n is: the link `comN` in the device folder, else the n-th
// built-in serial port.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace devices {

// COM1 to COM8, as the tool, the port tool and the virtual card offer them.
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 8;

// The name of the built-in serial ports in the device folder: ttyS0, ttyS1…
inline constexpr std::string_view kBuiltInTty = "ttyS";

struct DeviceName {
    std::string path;  // what to open
    std::string shown; // for messages: the link and where it points, or the device
    bool mapped = false; // reached through the entry `comN` in the device folder
    bool given = false;  // named by its path instead of as COM n
};

// "1" to "8" (or "01" to "08"); nothing for anything else.
[[nodiscard]] std::optional<int> ParsePort(std::string_view text);

// $PORTLINK_DEVICE_DIR when set, else ${XDG_CONFIG_HOME:-~/.config}/portlink.
[[nodiscard]] std::filesystem::path DeviceFolder();

// The link `comN` in DeviceFolder() that maps COM `port`, whether it exists
// or not; nothing for a number outside kFirstPort..kLastPort.
[[nodiscard]] std::optional<std::filesystem::path> ComLinkPath(int port);

// Nothing for a number outside kFirstPort..kLastPort. The built-in ports
// are the ttyS devices in `devices`.
[[nodiscard]] std::optional<DeviceName> DeviceForPort(int port, const std::filesystem::path &devices = "/dev");

// The device that the caller names by `path`, which a later reopen finds
// by the same path even from another current folder.
[[nodiscard]] DeviceName DeviceAtPath(const std::string &path);

// The built-in serial port behind COM `port`, e.g. /dev/ttyS0 for COM1.
[[nodiscard]] std::filesystem::path BuiltInPort(int port, const std::filesystem::path &devices = "/dev");

} // namespace devices
