// tovrik-cli run as a script runs it: no terminal on standard input, the
// exit status and the first words it says; and a profile sent to the
// virtual card, byte for byte what --dry-run prints.
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
};

TEST_P(CliExit, StatusAndMessage)
{
    devices.Map(8, "/nonexistent/ttyUSB7");
    std::ofstream(work.Path() / "site.ini") << "[defaults]\nprotocol = standard\nnetmask = 255.0.0.0\n";
    const auto run = RunCli(GetParam().args, work.Path());
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_NE((run.err.empty() ? run.out : run.err).find(GetParam().said), std::string::npos) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliExit,
    testing::Values(
        ExitRow {"DryRunPrintsTheLines", Args({"configure", "--dry-run"}, kStandardIP), 0, "%CB\\r\n%CR0\\r\n%CP0\\r\n%CI10.0.0.5\\ry\n"},
        ExitRow {"UnusedValueNamed", {"configure", "--dry-run", "--subnet", "255.0.0.0"}, 0,
                 "tovrik-cli: not used: subnet (Ethernet)\n"},
        ExitRow {"ProfileRefused", {"configure", "--profile", "site.ini", "--dry-run"}, 1,
                 "tovrik-cli: site.ini:3: netmask: unknown key\n"},
        ExitRow {"AddressMissing", {"configure", "--protocol", "standard", "--ip", "10.0.0.5"}, 1,
                 "tovrik-cli: not ready to configure, missing: subnet (Subnet), gateway (Gateway)\n"},
        ExitRow {"AddressMalformed", Args(Args({"configure", "--dry-run"}, kStandardIP), {"--ip", "999.0.0.5"}), 1,
                 "tovrik-cli: Not a valid IP Address: 999.0.0.5\n"},
        ExitRow {"UnknownCommand", {"reset"}, 2, "tovrik-cli: unknown command 'reset'"},
        ExitRow {"UnknownOption", {"configure", "--netmask", "255.0.0.0"}, 2, "tovrik-cli: Unknown option 'netmask'"},
        ExitRow {"OptionOfAnotherCommand", {"delete", "--dry-run"}, 2, "tovrik-cli: --dry-run does not go with delete"},
        ExitRow {"CardWithoutProfile", {"configure", "--card", "a"}, 2, "tovrik-cli: --card goes only with --profile"},
        ExitRow {"ComOutOfRange", {"delete", "--com", "9", "--yes"}, 2, "tovrik-cli: --com takes"},
        ExitRow {"NoTerminalNeedsYes", {"delete", "--com", "8"}, 2, "tovrik-cli: standard input is not a terminal"},
        ExitRow {"PortNotOpened", {"delete", "--com", "8", "--yes"}, 3, "tovrik-cli: COM8 could not be opened: "}),
    [](const auto &info) { return std::string(info.param.name); });

QJsonObject StoredState(const fs::path &file)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(cardsimtest::ReadFile(file))).object();
}

TEST(CliOnCard, StoresTheProfileAndSendsTheDryRunBytes)
{
    testsupport::DeviceDir devices;
    testsupport::TempDir work;
    const fs::path state = work.Path() / "card.json", trace = work.Path() / "card.trace";
    cardsimtest::SimProcess card({"--com", "1", "--state", state.string(), "--trace", trace.string()}, work.Path());
    ASSERT_TRUE(card.WaitForLink(devices.Path() / "com1")) << card.Stderr();
    std::ofstream(work.Path() / "site.ini") << "[defaults]\nprotocol = standard\nsubnet = 255.255.255.0\n"
                                               "gateway = 10.0.0.1\nseveral_nbx = yes\nnbx_ip = 10.0.1.2\n"
                                               "nbx_mac = 00:A0:24:1B:2C:3D\n[card desk]\nip = 10.0.0.5\n";
    const std::vector<std::string> profile = {"--profile", "site.ini", "--card", "desk"};

    const auto dryRun = RunCli(Args({"configure", "--dry-run"}, profile), work.Path());
    ASSERT_EQ(dryRun.status, 0) << dryRun.err;
    const auto sent = RunCli(Args({"configure", "--yes"}, profile), work.Path());
    ASSERT_EQ(sent.status, 0) << sent.err << card.Stderr();

    QJsonObject stored;
    for (int i = 0; i < 100 && !stored.value("nbx_mac").isString(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stored = StoredState(state);
    }
    EXPECT_EQ(stored.value("ip").toString(), "10.0.0.5");
    EXPECT_EQ(stored.value("gateway").toString(), "10.0.0.1");
    EXPECT_EQ(stored.value("nbx_mac").toString(), "00:a0:24:1b:2c:3d");

    std::string received;
    for (const char c : cardsimtest::ReadFile(trace))
        received += c == '\r' ? std::string("\\r") : std::string(1, c);
    std::string printed = dryRun.out;
    std::erase(printed, '\n');
    EXPECT_EQ(received, printed);
    (void)card.Stop(SIGTERM);
}

} // namespace
