// What the library says: one line on standard error per event, and the
// wording of a port that did not open.
#pragma once

#include "port_names.h"
#include "serial_backend.h"

#include <string>

namespace portlink {

// Writes "portlink: TEXT" as one whole line, escaped so that a device or
// file name in it cannot break the line or steer the terminal.
void Complain(const std::string &text);

// The line for COM `port`, or a device named by its path, that did not
// open: a refusal is worded from what was opened, anything else is
// "cannot open COMn (DEVICE): WHY" or "cannot open DEVICE: WHY".
[[nodiscard]] std::string OpenFailure(int port, const devices::DeviceName &device, Refusal refusal,
                                      const std::string &holder, const std::string &why);

// "COM1 (/dev/ttyUSB0)", or the device alone when it was named by its path.
[[nodiscard]] std::string Named(int port, const devices::DeviceName &device);

// "COM1 is back (/dev/ttyUSB0)", or "/dev/ttyUSB0 is back".
[[nodiscard]] std::string IsBack(int port, const devices::DeviceName &device);

} // namespace portlink
