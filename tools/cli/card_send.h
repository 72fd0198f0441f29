// One send of command lines from the command line: open the port, write,
// wait for the bytes to leave, and what that came to as an exit status.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class SerialLibrary;

namespace cli {

enum ExitStatus { kSent = 0, kRefused = 1, kBadUsage = 2, kPortNotOpened = 3, kSendFailed = 4 };

struct SendOutcome {
    ExitStatus status = kSent;
    std::string message; // for the user when not sent
};

// `progress` is called once the lines are written and again once the bytes
// have left, or the send ended otherwise.
[[nodiscard]] SendOutcome SendToCard(SerialLibrary &library, std::int16_t port, const std::vector<std::string> &lines,
                                     const std::function<void(bool done)> &progress = {});

} // namespace cli
