// One send of command lines from the command line: open the port, write,
// wait for the bytes to leave, listen to the card's answer when asked to,
// and what that came to as an exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SerialLibrary;

namespace cli {

enum ExitStatus { kSent = 0, kRefused = 1, kBadUsage = 2, kPortNotOpened = 3, kSendFailed = 4 };

struct SendOutcome {
    ExitStatus status = kSent;
    std::string message; // for the user when not sent
};

// What to do with the card's answer; by default it is not listened to.
struct Listening {
    std::string logFile;                       // appended with what the card says, as the window's log
    std::chrono::milliseconds atMost {0};      // how long to listen once the bytes have left
    std::chrono::milliseconds quietEnds {0};   // stop earlier after this long without a byte; 0: never
    std::function<void(char)> heard;           // each byte as it arrives
};

// `progress` is called once the lines are written and again once the bytes
// have left, or the send ended otherwise.
[[nodiscard]] SendOutcome SendToCard(SerialLibrary &library, std::int16_t port, const std::vector<std::string> &lines,
                                     const std::function<void(bool done)> &progress = {},
                                     const Listening &listening = {});

} // namespace cli
