// tovrik-cli run as a script runs it: no terminal on standard input, the
// exit status and the first words it says; and the window's configurations
// sent to the virtual card, byte for byte what --dry-run prints.
#include "card_configurations.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>

#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun RunCli(const std::vector<std::string> &args, const fs::path &workDir)
{
    QStringList arguments;
    for (const auto &arg : args)
        arguments << QString::fromStdString(arg);
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(workDir.string()));
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(TOVRIK_CLI), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

const std::vector<std::string> kStandardIP = {"--protocol", "standard", "--ip",      "10.0.0.5",
                                              "--subnet",   "255.255.255.0", "--gateway", "10.0.0.1"};

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string> &tail = {})
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct ExitRow {
    const char *name;
    std::vector<std::string> args;
    int status;
    const char *said; // in stderr, or in stdout when stderr is empty
};

void PrintTo(const ExitRow &row, std::ostream *os) { *os << row.name; }

class CliExit : public testing::TestWithParam<ExitRow> {
protected:
    testsupport::DeviceDir devices;
    testsupport::TempDir work;
    // On COM7: answers nothing. tovrik-cli opens it, so this process must not.
    testsupport::PtyPair silentCard {testsupport::PtyPair::Slave::Unopened};
};

TEST_P(CliExit, StatusAndMessage)
{
    devices.Map(8, "/nonexistent/ttyUSB7");
    devices.Map(7, silentCard.DevicePath());
    std::ofstream(work.Path() / "site.ini") << "[defaults]\nprotocol = standard\nnetmask = 255.0.0.0\n";
    const auto run = RunCli(GetParam().args, work.Path());
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_NE((run.err.empty() ? run.out : run.err).find(GetParam().said), std::string::npos) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliExit,
    testing::Values(
        ExitRow {"DryRunPrintsTheLines", Args({"configure", "--dry-run"}, kStandardIP), 0, "%CB\\r\n%CR0\\r\n%CP0\\r\n%CI10.0.0.5\\ry\n"},
        ExitRow {"UnusedValueNamed", {"configure", "--dry-run", "--protocol", "ethernet", "--subnet", "255.0.0.0"}, 0,
                 "tovrik-cli: not used: subnet (Ethernet)\n"},
        ExitRow {"NoProtocol", {"configure", "--dry-run", "--subnet", "255.0.0.0"}, 1,
                 "tovrik-cli: protocol is not set"},
        ExitRow {"NothingGiven", {"configure", "--dry-run"}, 1, "tovrik-cli: protocol is not set"},
        ExitRow {"FolderAsProfile", {"configure", "--dry-run", "--profile", "."}, 1,
                 "tovrik-cli: .: is a folder, not a profile"},
        ExitRow {"OptionTwice", Args({"configure", "--dry-run", "--ip", "10.0.0.6"}, kStandardIP), 2,
                 "tovrik-cli: --ip is given twice"},
        ExitRow {"BlankCard", {"configure", "--profile", "site.ini", "--card", " "}, 2,
                 "tovrik-cli: --card needs the NAME"},
        ExitRow {"ProfileRefused", {"configure", "--profile", "site.ini", "--dry-run"}, 1,
                 "tovrik-cli: site.ini:3: netmask: unknown key\n"},
        ExitRow {"AddressMissing", {"configure", "--protocol", "standard", "--ip", "10.0.0.5"}, 1,
                 "tovrik-cli: not ready to configure, missing: subnet (Subnet), gateway (Gateway)\n"},
        ExitRow {"AddressMalformed", {"configure", "--dry-run", "--protocol", "standard", "--ip", "999.0.0.5", "--subnet", "255.255.255.0", "--gateway", "10.0.0.1"}, 1,
                 "tovrik-cli: Not a valid IP Address: 999.0.0.5\n"},
        ExitRow {"UnknownCommand", {"reset"}, 2, "tovrik-cli: unknown command 'reset'"},
        ExitRow {"UnknownOption", {"configure", "--netmask", "255.0.0.0"}, 2, "tovrik-cli: Unknown option 'netmask'"},
        ExitRow {"OptionOfAnotherCommand", {"delete", "--dry-run"}, 2, "tovrik-cli: --dry-run does not go with delete"},
        ExitRow {"CardWithoutProfile", {"configure", "--card", "a"}, 2, "tovrik-cli: --card goes only with --profile"},
        ExitRow {"ComOutOfRange", {"delete", "--com", "9", "--yes"}, 2, "tovrik-cli: --com takes"},
        ExitRow {"NoTerminalNeedsYes", {"delete", "--com", "8"}, 2, "tovrik-cli: standard input is not a terminal"},
        ExitRow {"PortNotOpened", {"delete", "--com", "8", "--yes"}, 3, "tovrik-cli: COM8 could not be opened: "},
        ExitRow {"SecondsOfAnotherCommand", {"configure", "--seconds", "1"}, 2,
                 "tovrik-cli: --seconds does not go with configure"},
        ExitRow {"NoSeconds", {"show-config", "--seconds", "0"}, 2, "tovrik-cli: --seconds takes"},
        // The log is opened once the port is, and a log that cannot be kept stops the send.
        ExitRow {"LogCannotBeKept", {"delete", "--com", "7", "--yes", "--log", "no/such/folder/card.log"}, 1,
                 "tovrik-cli: cannot log to no/such/folder/card.log; nothing was sent"},
        ExitRow {"CardSilent", {"show-config", "--com", "7", "--seconds", "0.3"}, 4,
                 "tovrik-cli: the card on COM7 answered nothing within 0.3 s"}),
    [](const auto &info) { return std::string(info.param.name); });

QJsonObject StoredState(const fs::path &file)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(cardsimtest::ReadFile(file))).object();
}

// The virtual card on COM1, and a folder for the profile, the log and the card's files.
struct CardOnCom1 {
    testsupport::DeviceDir devices;
    testsupport::TempDir work;
    fs::path state = work.Path() / "card.json", trace = work.Path() / "card.trace";
    cardsimtest::SimProcess card {{"--com", "1", "--state", state.string(), "--trace", trace.string()}, work.Path()};

    [[nodiscard]] bool Up() { return card.WaitForLink(devices.Path() / "com1"); }
    ~CardOnCom1() { (void)card.Stop(SIGTERM); }
};

class CliOnCard : public testing::TestWithParam<testsupport::CardConfiguration> {};

// The window's own table: the card stores what the window would have had it
// store, from the bytes --dry-run prints, and the card's answers land in the log.
TEST_P(CliOnCard, StoresWhatTheWindowWould)
{
    CardOnCom1 r;
    ASSERT_TRUE(r.Up()) << r.card.Stderr();
    std::ofstream(r.work.Path() / "row.ini") << GetParam().Profile();

    const auto dryRun = RunCli({"configure", "--dry-run", "--profile", "row.ini"}, r.work.Path());
    ASSERT_EQ(dryRun.status, 0) << dryRun.err;
    const auto sent = RunCli({"configure", "--yes", "--profile", "row.ini", "--log", "card.log"}, r.work.Path());
    ASSERT_EQ(sent.status, 0) << sent.err << r.card.Stderr();
    // The log waits for the card's answer to the last line.
    EXPECT_NE(cardsimtest::ReadFile(r.work.Path() / "card.log").find("OK configuration applied"), std::string::npos);

    QJsonObject expected = QJsonDocument::fromJson(GetParam().stored).object();
    QJsonObject stored = StoredState(r.state);
    for (auto it = stored.begin(); it != stored.end(); ++it)
        if (!expected.contains(it.key()))
            expected.insert(it.key(), QJsonValue::Null);
    EXPECT_EQ(stored, expected) << QJsonDocument(stored).toJson().toStdString();

    std::string received;
    for (const char c : cardsimtest::ReadFile(r.trace))
        received += c == '\r' ? std::string("\\r") : std::string(1, c);
    std::string printed = dryRun.out;
    std::erase(printed, '\n');
    EXPECT_EQ(received, printed);
    // The window's end-to-end test holds the window's bytes to the same.
    EXPECT_EQ(cardsimtest::ReadFile(r.trace), GetParam().Bytes());
}

INSTANTIATE_TEST_SUITE_P(Window, CliOnCard, testing::ValuesIn(testsupport::CardConfigurations()),
                         [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST(CliShowConfig, PrintsWhatTheCardHoldsLineByLine)
{
    CardOnCom1 r;
    ASSERT_TRUE(r.Up()) << r.card.Stderr();
    const auto sent = RunCli({"configure", "--yes", "--protocol", "onthefly", "--boost_audio", "yes"}, r.work.Path());
    ASSERT_EQ(sent.status, 0) << sent.err;
    const auto shown = RunCli({"show-config", "--seconds", "1"}, r.work.Path());
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("running configuration:\n  remote=0\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  boost_audio=1\n"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);
}

} // namespace
