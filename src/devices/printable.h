// Names from the user or the system made safe for one-line messages.
#pragma once

#include <string>
#include <string_view>

namespace devices {

// `text` with control characters written as \n, \t, \r or \xNN, bytes that
// are not UTF-8 as \xNN and a backslash as \\, so that a name can neither
// break a line nor steer the terminal. Valid UTF-8 text passes unchanged.
[[nodiscard]] std::string Printable(std::string_view text);

} // namespace devices
