// Making and removing the links comN in the device folder, which tell the
// serial library which device COM n is.
#pragma once

#include "serial_devices.h"

#include <string>
#include <vector>

namespace ports {

struct Outcome {
    bool ok = false;
    std::string message;               // what was done, or why nothing was
    std::vector<std::string> warnings; // done, but something stands in the way
};

// Points COM `port` at `device`, an absolute path to a terminal, through its
// stable name under /dev/serial/by-id when it has one. Replaces an existing
// link only when `force`, and never anything but a link. On failure the
// device folder is left as it was.
[[nodiscard]] Outcome MapPort(int port, const std::string &device, bool force,
                              const devices::SystemRoots &roots = {});

// Removes the link for COM `port`; refuses anything but a link.
[[nodiscard]] Outcome UnmapPort(int port);

} // namespace ports
