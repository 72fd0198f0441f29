// COM1 to COM8 as the serial library would open them now, and the serial
// devices that no COM port reaches.
#pragma once

#include "serial_devices.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ports {

// In the order of the checks: each state implies the ones before passed.
enum class DeviceState {
    Missing,       // nothing at that path
    NotTerminal,   // something that is no serial line
    NoUart,        // a built-in port name with no UART behind it
    NoAccess,      // this user may not read and write it
    Console,       // the system console, never a card
    OtherTerminal, // /dev/tty or /dev/ptmx, which stand for another terminal
    InUse,         // another process has it open; the detail names it
    Busy,          // another program holds it, unseen
    CannotOpen,    // refused for another reason, given in the detail
    Ready,         // present, this user may open it, nobody holds it
};

struct Probe {
    DeviceState state = DeviceState::Missing;
    std::string detail; // what to do about it, or the system's reason
};

// Opens `device` for a moment, without becoming its controlling terminal,
// and judges it as the library would: a console, a built-in port with no
// UART, another process that has it open, the library's lock.
[[nodiscard]] Probe ProbeDevice(const std::string &device, const devices::SystemRoots &roots = {});

struct PortRow {
    int port = 0;
    std::string link;       // "…/com1 -> target" when the device folder maps it
    std::string device;     // what COM n leads to now
    Probe probe;
    std::string adapter;    // the adapter's description, if the system has one
    std::string stableName; // to map instead of a name that changes, if any
};

struct Survey {
    std::filesystem::path folder;
    std::vector<PortRow> ports;
    std::vector<devices::SerialDevice> unnamed; // devices present that no COM port leads to
};

[[nodiscard]] Survey TakeSurvey(const devices::SystemRoots &roots = {});
[[nodiscard]] std::string StateName(DeviceState state);
// The state as the listing shows it: "in use by screen (PID 4242)",
// "busy: another program has it open".
[[nodiscard]] std::string StateText(const Probe &probe);
[[nodiscard]] std::string FormatSurvey(const Survey &survey);

} // namespace ports
