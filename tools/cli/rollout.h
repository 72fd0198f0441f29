// A site's roll-out: every card of a profile in turn, the technician
// connecting each, every attempt recorded, and the cards a record shows as
// sent passed over, so that a roll-out stopped today goes on tomorrow.
#pragma once

#include "card_send.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cli {

struct SiteCard {
    std::string name;
    std::string protocol;
    std::vector<std::string> lines;
};

enum class Choice { Go, Skip, Stop };

// The technician at the terminal.
class Technician {
public:
    virtual ~Technician() = default;
    // Once the card is connected: Go; or Skip, Stop.
    virtual Choice Connect(const SiteCard &card) = 0;
    // After a failed attempt, whose reason has been said: Go retries.
    virtual Choice AfterFailure(const SiteCard &card) = 0;
    // One line for the technician.
    virtual void Say(const std::string &line) = 0;
};

struct Tally {
    int sent = 0, failed = 0, skipped = 0, sentBefore = 0, notReached = 0;
    int signal = 0;          // the interruption that ended it, or 0
    std::string recordError; // the record could not be written: it stopped there
};

struct RolloutSteps {
    std::function<SendOutcome(const SiteCard &)> send;
    // Keeps the attempt; false, with the reason, when it could not.
    std::function<bool(const SiteCard &, const SendOutcome &, std::string &why)> record;
    std::function<int()> interruption;
};

// `lastResults`: each card's last recorded result; a card last "sent" is passed over.
[[nodiscard]] Tally Rollout(const std::vector<SiteCard> &cards, const std::map<std::string, std::string> &lastResults,
                            Technician &technician, const RolloutSteps &steps);

// "48 sent, 1 failed, 1 skipped", and the cards sent before or not reached when there are any.
[[nodiscard]] std::string Summary(const Tally &tally);

// 0 when every card it meant to send was sent.
[[nodiscard]] int ExitStatusOf(const Tally &tally);

} // namespace cli
