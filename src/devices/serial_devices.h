// The serial devices on this machine as /dev and /sys show them: their
// stable names and the USB adapters behind them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace devices {

// Where device nodes and sysfs live; tests put fake trees in their place.
struct SystemRoots {
    std::filesystem::path dev = "/dev";
    std::filesystem::path sys = "/sys";
    std::filesystem::path proc = "/proc";
};

// A small regular file such as a sysfs or /proc attribute, at most `limit`
// bytes, without its closing blanks; nothing for anything else.
[[nodiscard]] std::optional<std::string> ReadAttribute(const std::filesystem::path &file, std::size_t limit = 4096);

// A serial device's name in the device folder, e.g. ttyUSB0: "ttyUSB" and 0.
struct TtyName {
    std::string prefix; // ttyS (built in), ttyUSB or ttyACM (adapters)
    unsigned long number = 0;
};

// Nothing for a name that is none of ttyS<n>, ttyUSB<n>, ttyACM<n>.
[[nodiscard]] std::optional<TtyName> SerialTtyName(const std::string &name);
// ttyS<n>: a port on the machine itself, which no other device can become.
[[nodiscard]] bool IsBuiltInTty(const std::string &name);
// ttyUSB<n> and ttyACM<n> go to adapters in the order they are plugged in.
[[nodiscard]] bool IsAdapterTty(const std::string &name);

// A USB adapter as sysfs describes it; any field may be empty.
struct Adapter {
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serial;
};

struct SerialDevice {
    std::string path;                     // as named in /dev, e.g. /dev/ttyUSB0
    std::filesystem::path resolved;       // with every link followed
    bool answers = true;                  // false for a ttyS with no UART behind it
    std::vector<std::string> stableNames; // under /dev/serial/by-id
    std::optional<Adapter> adapter;
};

// Whether a UART sits behind the built-in port whose sysfs folder is
// `folder`, as its `type` says; nothing when there is no such attribute.
[[nodiscard]] std::optional<bool> UartInSysfs(const std::filesystem::path &folder);
// The same asked of the port itself, open on `fd`.
[[nodiscard]] bool UartAnswers(int fd);

// "FTDI FT232R USB UART": maker and product, or the USB ids without them.
[[nodiscard]] std::string AdapterName(const Adapter &adapter);
// The name with the USB ids and serial number: "FTDI FT232R USB UART (0403:6001, serial A1)".
[[nodiscard]] std::string AdapterDetails(const Adapter &adapter);

// Every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM*, in name and number order.
[[nodiscard]] std::vector<SerialDevice> FindSerialDevices(const SystemRoots &roots = {});

// The one of `devices` that `path` leads to, or null.
[[nodiscard]] const SerialDevice *FindDevice(const std::vector<SerialDevice> &devices,
                                             const std::filesystem::path &path);

// The names under /dev/serial/by-id that lead to `device`; they survive
// replugging the adapter into another socket.
[[nodiscard]] std::vector<std::string> StableNames(const std::filesystem::path &device,
                                                   const SystemRoots &roots = {});

// The sysfs folder of the USB device behind the tty `name`: its path is the
// socket the adapter is plugged into. Nothing for a device not on USB.
[[nodiscard]] std::optional<std::filesystem::path> UsbDeviceFolder(const std::string &name,
                                                                   const SystemRoots &roots = {});

// What COM `port` is, in one line: "/dev/ttyUSB0, FTDI FT232R USB UART",
// "/dev/pts/3", or "not connected", among `devices` as FindSerialDevices
// found them (one scan serves every port).
[[nodiscard]] std::string DescribePort(int port, const std::vector<SerialDevice> &devices);

} // namespace devices
