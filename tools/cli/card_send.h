// One send of command lines from the command line: open the port, write,
// wait for the bytes to leave, listen to the card's answer when asked to,
// and what that came to as an exit status.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SerialLibrary;

namespace cli {

enum ExitStatus { kSent = 0, kRefused = 1, kBadUsage = 2, kPortNotOpened = 3, kSendFailed = 4, kOutputFailed = 5 };

// Where the bytes go: COM n, or any serial device by its path.
struct Target {
    std::int16_t com = 1;
    std::string device; // when given, this device instead of COM n
    [[nodiscard]] std::string Name() const; // "COM1", or the device as given
};

// What an attempt came to, in the words a record keeps.
enum class Result { Sent, Refused, NotOpened, WriteFailed, Interrupted };
[[nodiscard]] std::string_view ResultWord(Result result);

struct SendOutcome {
    ExitStatus status = kSent;
    Result result = Result::Sent;
    std::string message;    // for the user when not sent
    std::string reason;     // the library's own words, which it has said already
    std::size_t bytes = 0;  // handed to the line, all of which reach the card
    std::size_t total = 0;  // of the lines asked for
    int signal = 0;         // an interruption that came, even after the last line was written
};

// The bytes that `lines` hold.
[[nodiscard]] std::size_t Bytes(const std::vector<std::string> &lines);

// An attempt that ended before a byte was written.
[[nodiscard]] SendOutcome NotSent(ExitStatus status, Result result, std::string message);

// What to do with the card's answer; by default it is not listened to.
struct Listening {
    std::string logFile;                       // appended with what the card says, as the window's log
    std::chrono::milliseconds atMost {0};      // how long to listen once the bytes have left
    std::chrono::milliseconds quietEnds {0};   // stop earlier after this long without a byte; 0: never
    std::function<void(char)> heard;           // each byte as it arrives
};

struct SendRequest {
    Target target;
    std::vector<std::string> lines;
    Listening listening {};
    // Called once the first lines are written and again once the send ended.
    std::function<void(bool done)> progress {};
    // The signal that asks the send to stop, or 0.
    std::function<int()> interruption {};
};

// A configuration's last line, which tells the card to apply it, is written
// only once the lines before it have left: an interrupted send never leaves
// the card applying half a configuration.
[[nodiscard]] SendOutcome SendToCard(SerialLibrary &library, const SendRequest &request);

} // namespace cli
