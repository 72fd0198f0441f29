// The serial devices on this machine as /dev and /sys show them: their
// stable names and the USB adapters behind them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ports {

// Where device nodes and sysfs live; tests put a fake tree in their place.
struct SystemRoots {
    std::filesystem::path dev = "/dev";
    std::filesystem::path sys = "/sys";
};

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

// What COM `port` is, in one line: "/dev/ttyUSB0, FTDI FT232R USB UART",
// "/dev/pts/3", or "not connected", among `devices` as FindSerialDevices
// found them (one scan serves every port).
[[nodiscard]] std::string DescribePort(int port, const std::vector<SerialDevice> &devices);

} // namespace ports
