// How a serial device is held against every other program once it is open.
#pragma once

namespace devices {

// Takes the flock that every program asking for it respects, root's too,
// without waiting. Returns 0 or the errno: EWOULDBLOCK while another holds it.
[[nodiscard]] int LockAgainstOthers(int fd);

// The lock above, then TIOCEXCL, which makes the kernel refuse any further
// open of the tty except to root. Returns 0 or the errno of the step that
// failed. A root program that takes no lock can still open the device.
[[nodiscard]] int HoldExclusively(int fd);

} // namespace devices
