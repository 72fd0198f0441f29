// tovrik-cli run as a script runs it: no terminal on standard input, the
// exit status and the first words it says; and the window's configurations
// sent to the virtual card, byte for byte what --dry-run prints.
#include "card_configurations.h"
#include "command_lines.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

QStringList Arguments(const std::vector<std::string> &args)
{
    QStringList arguments;
    for (const auto &arg : args)
        arguments << QString::fromStdString(arg);
    return arguments;
}

// `output`: a file for standard output instead of capturing it.
CliRun RunCli(const std::vector<std::string> &args, const fs::path &workDir, const char *output = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(workDir.string()));
    process.setStandardInputFile(QProcess::nullDevice());
    if (output)
        process.setStandardOutputFile(output);
    process.start(QStringLiteral(TOVRIK_CLI), Arguments(args));
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
    const char *output = nullptr; // standard output goes there
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
    std::ofstream(work.Path() / "cards.ini") << "[card b]\nprotocol = onthefly\n[card  a ]\n";
    const auto run = RunCli(GetParam().args, work.Path(), GetParam().output);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_NE((run.err.empty() ? run.out : run.err).find(GetParam().said), std::string::npos) << run.out << run.err;
    // Each reason is said once: what the library said is not said again.
    std::istringstream lines(run.err);
    std::vector<std::string> ours, library;
    for (std::string line; std::getline(lines, line);)
        (line.starts_with("portlink: ") ? library : ours).push_back(line.substr(line.find(": ") + 2));
    for (const auto &reason : library)
        for (const auto &line : ours)
            EXPECT_EQ(line.find(reason), std::string::npos) << run.err;
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
        ExitRow {"PortNotOpened", {"delete", "--com", "8", "--yes"}, 3, "tovrik-cli: COM8 could not be opened; nothing sent"},
        ExitRow {"DeviceIsNoTerminal", {"delete", "--device", "site.ini", "--yes"}, 3, "not a terminal"},
        ExitRow {"ComAndDevice", {"delete", "--device", "site.ini", "--com", "2"}, 2, "give --com or --device, not both"},
        ExitRow {"OldSpelling", {"configure", "--nbx_ip", "10.0.0.1"}, 2, "--nbx_ip is spelled --nbx-ip"},
        ExitRow {"HelpOfACommand", {"show-config", "--help"}, 0, "Usage: tovrik-cli show-config [OPTIONS]\n"},
        ExitRow {"HelpAll", {"--help-all"}, 0, "  --several-nbx VALUE"},
        ExitRow {"CardNames", {"cards", "--profile", "cards.ini"}, 0, "b\na\n"},
        ExitRow {"RolloutWithoutTerminal", {"rollout", "--profile", "cards.ini"}, 2, "standard input is not one"},
        ExitRow {"RecordNotKept", {"delete", "--yes", "--record", "no/such/record"}, 1, "cannot keep the record"},
        ExitRow {"RecordOfADryRun", Args({"configure", "--dry-run", "--record", "r"}, kStandardIP), 2,
                 "--record does not go with --dry-run"},
        // Output that cannot be written fails the run.
        ExitRow {"TemplateIntoAFullDisk", {"profile"}, 5, "cannot write the profile: No space left", "/dev/full"},
        ExitRow {"DryRunIntoAFullDisk", Args({"configure", "--dry-run"}, kStandardIP), 5, "No space left", "/dev/full"},
        ExitRow {"CardsIntoAFullDisk", {"cards", "--profile", "cards.ini"}, 5, "No space left", "/dev/full"},
        ExitRow {"HelpIntoAFullDisk", {"--help"}, 5, "", "/dev/full"},
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

// The card stores what the row says, and nothing else, a moment after the
// bytes have left at the latest.
void ExpectStored(const fs::path &state, const testsupport::CardConfiguration &row)
{
    QJsonObject expected = QJsonDocument::fromJson(row.stored).object();
    QJsonObject stored;
    for (int tries = 0; tries < 200 && stored != expected; ++tries) {
        if (tries > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stored = StoredState(state);
        for (auto it = stored.begin(); it != stored.end(); ++it)
            if (!expected.contains(it.key()))
                expected.insert(it.key(), QJsonValue::Null);
    }
    EXPECT_TRUE(stored == expected) << row.name << QJsonDocument(stored).toJson().toStdString();
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

    ExpectStored(r.state, GetParam());

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
    const auto sent = RunCli({"configure", "--yes", "--protocol", "onthefly", "--boost-audio", "yes"}, r.work.Path());
    ASSERT_EQ(sent.status, 0) << sent.err;
    const auto shown = RunCli({"show-config", "--seconds", "1"}, r.work.Path());
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("running configuration:\n  remote=0\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  boost_audio=1\n"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);
}

// Runs tovrik-cli with standard output into a pipe whose reader has gone;
// its exit status, or -1 when a signal ended it.
int RunIntoAClosedPipe(const std::vector<std::string> &args, const fs::path &workDir)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -2;
    ::close(pipeFds[0]);
    std::vector<char *> argv {const_cast<char *>(TOVRIK_CLI)};
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (::chdir(workDir.c_str()) != 0 || ::dup2(pipeFds[1], 1) < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 2) < 0)
            ::_exit(126);
        ::execv(TOVRIK_CLI, argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliOutput, IntoAClosedPipeFailsTheRunButNeverASend)
{
    for (const auto &args : std::vector<std::vector<std::string>> {
             {"profile"}, {"--help"}, Args({"configure", "--dry-run"}, kStandardIP)})
        EXPECT_EQ(RunIntoAClosedPipe(args, fs::current_path()), 5) << args.front();

    CardOnCom1 r;
    ASSERT_TRUE(r.Up()) << r.card.Stderr();
    EXPECT_EQ(RunIntoAClosedPipe(Args({"configure", "--yes"}, kStandardIP), r.work.Path()), 0);
    EXPECT_TRUE(cardsimtest::ReadFile(r.trace).ends_with(gateway::EndConfigLine()));
}

// tovrik-cli with a terminal on standard input and error, as a technician
// runs it; standard output is kept apart.
class AtTheTerminal {
public:
    AtTheTerminal(const std::vector<std::string> &args, const fs::path &workDir)
    {
        const auto tty = QString::fromStdString(terminal_.DevicePath());
        process_.setWorkingDirectory(QString::fromStdString(workDir.string()));
        process_.setStandardInputFile(tty);
        process_.setStandardErrorFile(tty, QIODevice::Append);
        process_.start(QStringLiteral(TOVRIK_CLI), Arguments(args));
    }
    ~AtTheTerminal() { process_.kill(), process_.waitForFinished(); }

    // What the terminal showed since the last call, once it shows `text`; empty when it did not within 10 s.
    std::string WaitFor(const std::string &text)
    {
        for (int waited = 0; waited < 1000 && shown_.find(text) == std::string::npos; ++waited) {
            pollfd fd {terminal_.CardFd(), POLLIN, 0};
            char buffer[4096];
            if (::poll(&fd, 1, 10) == 1)
                if (const ssize_t n = ::read(terminal_.CardFd(), buffer, sizeof buffer); n > 0)
                    shown_.append(buffer, static_cast<std::size_t>(n));
        }
        const auto at = shown_.find(text);
        if (at == std::string::npos)
            return {};
        return std::exchange(shown_, shown_.substr(at + text.size())).substr(0, at + text.size());
    }
    void Type(const std::string &keys) { terminal_.Write(keys); }
    QProcess &Process() { return process_; }
    std::string Out() { return process_.readAllStandardOutput().toStdString(); }

private:
    testsupport::PtyPair terminal_;
    QProcess process_;
    std::string shown_;
};

// Three cards of the shared table rolled out one after the other, each on
// the virtual card in turn; a second run finds them sent and sends nothing.
TEST(CliRollout, SendsEachCardRecordsItAndResumes)
{
    CardOnCom1 r;
    ASSERT_TRUE(r.Up()) << r.card.Stderr();
    const auto &rows = testsupport::CardConfigurations();
    std::string site;
    for (int i = 0; i < 3; ++i) {
        site += "[card row" + std::to_string(i) + "]\n";
        for (const auto &[key, value] : rows[static_cast<std::size_t>(i)].settings)
            site += key + " = " + value + "\n";
    }
    std::ofstream(r.work.Path() / "site.ini") << site;

    {
        AtTheTerminal asked({"configure", "--profile", "site.ini", "--card", "row0"}, r.work.Path());
        EXPECT_NE(asked.WaitFor("? [y/N] ").find("Send card row0's configuration to COM1 (/dev/pts/"), std::string::npos);
        asked.Type("n\n");
        ASSERT_TRUE(asked.Process().waitForFinished(10000));
        EXPECT_EQ(asked.Process().exitCode(), 1);
    }
    const std::vector<std::string> rollout = {"rollout", "--profile", "site.ini", "--record", "site.jsonl"};
    {
        AtTheTerminal technician(rollout, r.work.Path());
        for (std::size_t i = 0; i < 3; ++i) {
            const auto prompt = technician.WaitFor("(s: skip, q: stop) ");
            ASSERT_NE(prompt.find("Connect card row" + std::to_string(i) + " to COM1 ("), std::string::npos) << prompt;
            if (i > 0) // the card before has stored its configuration
                ExpectStored(r.state, rows[i - 1]);
            technician.Type("\n");
        }
        ASSERT_TRUE(technician.Process().waitForFinished(20000));
        EXPECT_EQ(technician.Process().exitCode(), 0);
        EXPECT_TRUE(technician.Out().ends_with("3 sent, 0 failed, 0 skipped\n"));
    }
    std::istringstream record(cardsimtest::ReadFile(r.work.Path() / "site.jsonl"));
    int lines = 0;
    for (std::string line; std::getline(record, line); ++lines) {
        const auto attempt = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const auto bytes = static_cast<double>(rows[static_cast<std::size_t>(lines)].Bytes().size());
        EXPECT_EQ(attempt["card"].toString().toStdString(), "row" + std::to_string(lines));
        EXPECT_EQ(attempt["result"].toString(), "sent");
        EXPECT_EQ(attempt["bytes"].toDouble(), bytes);
        EXPECT_EQ(attempt["total"].toDouble(), bytes);
    }
    EXPECT_EQ(lines, 3);

    ExpectStored(r.state, rows[2]);
    const auto received = cardsimtest::ReadFile(r.trace);
    AtTheTerminal again(rollout, r.work.Path());
    ASSERT_TRUE(again.Process().waitForFinished(10000));
    EXPECT_EQ(again.Out(), "0 sent, 0 failed, 0 skipped, 3 sent before\n");
    EXPECT_EQ(cardsimtest::ReadFile(r.trace), received);

    // Ctrl-C at the question ends the roll-out by the signal, with its summary.
    AtTheTerminal stopped({"rollout", "--profile", "site.ini"}, r.work.Path());
    stopped.WaitFor("(s: skip, q: stop) ");
    ::kill(static_cast<pid_t>(stopped.Process().processId()), SIGINT);
    ASSERT_TRUE(stopped.Process().waitForFinished(10000));
    EXPECT_EQ(stopped.Process().exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(stopped.Out(), "0 sent, 0 failed, 0 skipped, 3 not reached\n");
}

} // namespace
