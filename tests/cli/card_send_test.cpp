// What a send from the command line comes to, against the recording library.
#include "card_send.h"
#include "command_lines.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

struct SendRow {
    const char *name;
    std::set<int> openablePorts;
    int failWriteAt;
    bool lostData;
    cli::ExitStatus status;
    const char *message;
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

    // The line fails once the bytes are written, before they have left.
    const auto outcome = cli::SendToCard(library, 1, lines, [&](bool done) {
        if (!done && GetParam().lostData)
            library.HangUp();
    });
    EXPECT_EQ(outcome.status, GetParam().status);
    EXPECT_EQ(outcome.message, GetParam().message);
    const bool applied = library.written.ends_with(gateway::EndConfigLine());
    EXPECT_EQ(applied, GetParam().failWriteAt < 0 && GetParam().openablePorts.contains(1));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CardSend,
    testing::Values(SendRow {"Sent", {1}, -1, false, cli::kSent, ""},
                    SendRow {"PortNotOpened", {2}, -1, false, cli::kPortNotOpened,
                             "COM1 could not be opened: no such device"},
                    SendRow {"WriteFailed", {1}, 5, false, cli::kSendFailed,
                             "writing to COM1 failed; the card was not told to apply the configuration"},
                    SendRow {"LineLost", {1}, -1, true, cli::kSendFailed,
                             "the line to COM1 failed before the bytes had left; the card was not told to apply "
                             "the configuration"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
