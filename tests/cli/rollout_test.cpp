// The roll-out's turns: what the technician answers and what each send
// comes to, and the summary and exit status they make.
#include "rollout.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace {

struct RolloutRow {
    const char *name;
    const char *answers;  // in turn: g go (Enter, or r after a failure), s skip, q stop
    const char *sends;    // each send in turn: S sent, F failed, I interrupted by Ctrl-C
    bool aSentBefore;     // the record shows card a sent, and b failed
    int recordFailsAt;    // the n-th record (0-based) cannot be written; -1: never
    const char *summary;
    int exit;
};

void PrintTo(const RolloutRow &row, std::ostream *os) { *os << row.name; }

class ScriptedTechnician : public cli::Technician {
public:
    explicit ScriptedTechnician(std::string answers) : answers_(std::move(answers)) {}
    cli::Choice Connect(const cli::SiteCard &) override { return Next(); }
    cli::Choice AfterFailure(const cli::SiteCard &) override { return Next(); }
    void Say(const std::string &) override {}

private:
    cli::Choice Next()
    {
        const char answer = next_ < answers_.size() ? answers_[next_++] : 'q';
        return answer == 'g' ? cli::Choice::Go : answer == 's' ? cli::Choice::Skip : cli::Choice::Stop;
    }
    std::string answers_;
    std::size_t next_ = 0;
};

class Rollout : public testing::TestWithParam<RolloutRow> {};

TEST_P(Rollout, CountsEachCardOnceAndStopsWhenAsked)
{
    const auto &row = GetParam();
    const std::vector<cli::SiteCard> cards = {{"a", "standard", {"x"}}, {"b", "standard", {"x"}},
                                              {"c", "standard", {"x"}}};
    std::map<std::string, std::string> last;
    if (row.aSentBefore)
        last = {{"a", "sent"}, {"b", "write failed"}};
    std::size_t sends = 0;
    int records = 0, signal = 0;
    cli::RolloutSteps steps;
    steps.send = [&](const cli::SiteCard &) {
        const char result = row.sends[sends++];
        signal = result == 'I' ? SIGINT : signal;
        auto outcome = cli::NotSent(cli::kSendFailed, result == 'S' ? cli::Result::Sent
                                                      : result == 'F' ? cli::Result::WriteFailed
                                                                      : cli::Result::Interrupted, "why");
        outcome.signal = signal;
        return outcome;
    };
    steps.record = [&](const cli::SiteCard &, const cli::SendOutcome &, std::string &why) {
        why = "No space left on device";
        return records++ != row.recordFailsAt;
    };
    steps.interruption = [&] { return signal; };
    ScriptedTechnician technician(row.answers);

    const auto tally = cli::Rollout(cards, last, technician, steps);
    EXPECT_EQ(cli::Summary(tally), row.summary);
    EXPECT_EQ(sends, std::strlen(row.sends)) << "every send the row names, and no more";
    EXPECT_EQ(cli::ExitStatusOf(tally), row.exit);
    EXPECT_EQ(tally.signal, signal);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Rollout,
    testing::Values(RolloutRow {"AllSent", "ggg", "SSS", false, -1, "3 sent, 0 failed, 0 skipped", 0},
                    RolloutRow {"OneSkipped", "gsg", "SS", false, -1, "2 sent, 0 failed, 1 skipped", 0},
                    RolloutRow {"RetriedUntilSent", "gggg", "FSSS", false, -1, "3 sent, 0 failed, 0 skipped", 0},
                    RolloutRow {"FailedAndSkipped", "gsgg", "FSS", false, -1, "2 sent, 1 failed, 0 skipped", 4},
                    RolloutRow {"StoppedAfterAFailure", "gq", "F", false, -1,
                                "0 sent, 1 failed, 0 skipped, 2 not reached", 4},
                    RolloutRow {"StoppedAtTheQuestion", "gq", "S", false, -1,
                                "1 sent, 0 failed, 0 skipped, 2 not reached", 1},
                    // b failed last time: it is asked for again.
                    RolloutRow {"SentBeforePassedOver", "gg", "SS", true, -1,
                                "2 sent, 0 failed, 0 skipped, 1 sent before", 0},
                    RolloutRow {"RecordNotWritten", "ggg", "S", false, 0, "1 sent, 0 failed, 0 skipped, 2 not reached",
                                4},
                    RolloutRow {"Interrupted", "ggg", "I", false, -1, "0 sent, 1 failed, 0 skipped, 2 not reached",
                                4}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
