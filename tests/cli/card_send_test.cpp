// What a send from the command line comes to, against the recording library.
#include "card_send.h"
#include "command_lines.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

struct SendRow {
    const char *name;
    std::set<int> openablePorts;
    int failWriteAt;
    bool lostData;
    int interruptAfterWrites; // SIGINT comes once this many bytes were taken; -1: never; -2: while they leave
    cli::Result result;
    const char *message;
    bool applied; // the card was told to apply
};

void PrintTo(const SendRow &row, std::ostream *os) { *os << row.name; }

class CardSend : public testing::TestWithParam<SendRow> {};

TEST_P(CardSend, EndsWithTheStatusAndNeverAppliesAfterAFailure)
{
    testsupport::FakeSerialLibrary library;
    library.openablePorts = GetParam().openablePorts;
    library.failWriteAt = GetParam().failWriteAt;
    const std::vector<std::string> lines = {gateway::BeginConfigLine(), gateway::IPAddressLine("10.0.0.5"),
                                            gateway::EndConfigLine()};
    cli::SendRequest request {{1, {}}, lines};
    // The line fails once the bytes are written, before they have left.
    request.progress = [&](bool done) {
        if (!done && GetParam().lostData)
            library.HangUp();
    };
    const int after = GetParam().interruptAfterWrites;
    if (after == -2)
        library.sendingAnswers = {true, true};
    const auto interrupted = [&] {
        if (after == -2)
            return std::ranges::count(library.calls, std::string("IsSendingData")) > 0;
        return after >= 0 && library.writeCalls >= after;
    };
    request.interruption = [&] { return interrupted() ? SIGINT : 0; };

    const auto outcome = cli::SendToCard(library, request);
    EXPECT_EQ(outcome.result, GetParam().result);
    EXPECT_EQ(outcome.message, GetParam().message);
    EXPECT_EQ(library.written.ends_with(gateway::EndConfigLine()), GetParam().applied);
    EXPECT_EQ(outcome.bytes, library.written.size());
    EXPECT_EQ(outcome.signal, interrupted() ? SIGINT : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CardSend,
    testing::Values(
        SendRow {"Sent", {1}, -1, false, -1, cli::Result::Sent, "", true},
        SendRow {"PortNotOpened", {2}, -1, false, -1, cli::Result::NotOpened, "COM1 could not be opened; nothing sent",
                 false},
        SendRow {"WriteFailed", {1}, 5, false, -1, cli::Result::WriteFailed,
                 "writing to COM1 failed; the card was not told to apply the configuration", false},
        SendRow {"LineLost", {1}, -1, true, -1, cli::Result::WriteFailed,
                 "the line to COM1 failed before the bytes had left; the card was not told to apply the configuration",
                 false},
        // Ctrl-C after the first line: the lines before the last one leave, the last one never.
        SendRow {"InterruptedMidway", {1}, -1, false, 4, cli::Result::Interrupted,
                 "interrupted after 4 of 21 bytes; the card was not told to apply", false},
        SendRow {"InterruptedBeforeTheLastLine", {1}, -1, false, 17, cli::Result::Interrupted,
                 "interrupted after 17 of 21 bytes; the card was not told to apply", false},
        // The last line waits until the lines before it have left.
        SendRow {"InterruptedWhileTheLinesLeave", {1}, -1, false, -2, cli::Result::Interrupted,
                 "interrupted after 17 of 21 bytes; the card was not told to apply", false},
        // Once the last line is written the card applies it: the send is whole.
        SendRow {"InterruptedOnceAllWasWritten", {1}, -1, false, 21, cli::Result::Sent, "", true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
