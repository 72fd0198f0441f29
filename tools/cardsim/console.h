// The virtual card's serial console: takes the received bytes in pieces of
// any size, answers every line, and holds the stored configuration.
//
// A line is "%C", a command letter, a value and a carriage return. The five
// address lines (I, S, G, N, M) are then confirmed with "y" (or declined
// with "n"). Setting lines are only taken between "%CB" and "%CE"; "%CE"
// checks the pending configuration and applies it, "%CC" erases the stored
// one, and both restart the card. Whatever is not a well-formed line gets
// one "ERR" answer and is dropped up to the next '%'. The parser keeps at
// most kMaxValue bytes of a line, whatever comes in.
#pragma once

#include "card_config.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace cardsim {

class Console {
public:
    // Longer than any address the tool can send ("255.255.255.255" is 15
    // characters, a MAC address 17) with room for typing slips.
    static constexpr std::size_t kMaxValue = 32;

    // `onStored` runs after every apply and every erase, with the new
    // stored configuration.
    explicit Console(std::function<void(const CardConfig &)> onStored = {});

    void Feed(std::string_view bytes);

    // The card's output since the last call.
    [[nodiscard]] std::string TakeOutput();

    [[nodiscard]] const CardConfig &Stored() const { return stored_; }
    // Bytes held for the line being received; never above kMaxValue.
    [[nodiscard]] std::size_t BufferedBytes() const { return value_.size(); }

private:
    enum class State { Idle, Percent, Letter, Value, Confirm, Skip };

    void Take(char c);
    // One character in the state that expects a command letter, a value, or y or n.
    void TakeLetter(char c);
    void TakeValue(char c);
    void TakeConfirm(char c);
    void EndOfLine();
    void Confirmed(bool yes);
    void EndConfiguration();
    void Restart();
    void Answer(std::string_view text);
    void Error(std::string_view text);
    [[nodiscard]] std::string LineName() const;

    std::function<void(const CardConfig &)> onStored_;
    State state_ = State::Idle;
    char letter_ = 0;
    std::string value_;
    bool confirmWanted_ = false; // the held address line waits for its "y"

    CardConfig stored_;
    CardConfig pending_;
    bool pendingOpen_ = false;
    int pendingErrors_ = 0;

    std::string output_;
};

} // namespace cardsim
