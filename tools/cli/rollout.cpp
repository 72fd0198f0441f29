#include "rollout.h"

namespace cli {

namespace {

struct CardEnd {
    enum Kind { Sent, Failed, Skipped, NotReached } kind;
    bool stop = false; // no card after this one
};

// One card, from the question to connect it to its last attempt.
CardEnd RollOutCard(const SiteCard &card, Technician &technician, const RolloutSteps &steps, Tally &tally)
{
    const Choice connected = technician.Connect(card);
    if (steps.interruption() || connected == Choice::Stop)
        return {CardEnd::NotReached, true};
    if (connected == Choice::Skip)
        return {CardEnd::Skipped};
    for (;;) {
        const SendOutcome outcome = steps.send(card);
        const auto kind = outcome.result == Result::Sent ? CardEnd::Sent : CardEnd::Failed;
        if (std::string why; !steps.record(card, outcome, why)) {
            tally.recordError = why;
            return {kind, true};
        }
        if (kind == CardEnd::Sent)
            return {kind, steps.interruption() != 0};
        technician.Say("card " + card.name + ": " + outcome.message);
        if (steps.interruption())
            return {kind, true};
        const Choice next = technician.AfterFailure(card);
        if (steps.interruption() || next != Choice::Go)
            return {kind, steps.interruption() != 0 || next == Choice::Stop};
    }
}

} // namespace

Tally Rollout(const std::vector<SiteCard> &cards, const std::map<std::string, std::string> &lastResults,
              Technician &technician, const RolloutSteps &steps)
{
    Tally tally;
    bool stopped = false;
    for (const auto &card : cards) {
        if (const auto last = lastResults.find(card.name); last != lastResults.end() && last->second == "sent") {
            technician.Say("card " + card.name + " was sent before, as the record shows; passing it over");
            ++tally.sentBefore;
            continue;
        }
        if (stopped) {
            ++tally.notReached;
            continue;
        }
        const CardEnd end = RollOutCard(card, technician, steps, tally);
        (end.kind == CardEnd::Sent      ? tally.sent
         : end.kind == CardEnd::Failed  ? tally.failed
         : end.kind == CardEnd::Skipped ? tally.skipped
                                        : tally.notReached)++;
        stopped = end.stop;
    }
    tally.signal = steps.interruption();
    return tally;
}

std::string Summary(const Tally &tally)
{
    std::string text = std::to_string(tally.sent) + " sent, " + std::to_string(tally.failed) + " failed, "
                       + std::to_string(tally.skipped) + " skipped";
    if (tally.sentBefore > 0)
        text += ", " + std::to_string(tally.sentBefore) + " sent before";
    if (tally.notReached > 0)
        text += ", " + std::to_string(tally.notReached) + " not reached";
    return text;
}

int ExitStatusOf(const Tally &tally)
{
    if (tally.failed > 0 || !tally.recordError.empty())
        return kSendFailed;
    return tally.notReached > 0 ? kRefused : kSent;
}

} // namespace cli
