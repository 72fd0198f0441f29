// One send of command lines to the card, from the first byte written to the
// moment all have left, and what it came to.
#pragma once

#include <string>
#include <vector>

class GatewayCommands;
class BoardLink;

enum class SendEnd {
    Sent,        // every byte left while the line was up
    WriteFailed, // a byte was refused; the lines after it were not written
    LineLost,    // written, but the line failed before the bytes had left
};

class SendRun {
public:
    SendRun(BoardLink &link, GatewayCommands &commands) : link_(link), commands_(commands) {}

    // Writes `lines` in order, stopping at the first that fails, so that the
    // card is never told to apply a configuration cut short. False when a
    // write failed.
    [[nodiscard]] bool Begin(const std::vector<std::string> &lines);
    // True while written bytes have not yet left for the card.
    [[nodiscard]] bool Sending();
    // Once Sending is false: what the send came to. A line that failed
    // under the queued bytes dropped them, so gone from the queue is not sent.
    [[nodiscard]] SendEnd End();

private:
    BoardLink &link_;
    GatewayCommands &commands_;
    bool writeFailed_ = false;
};
