// brenlock-sim as a whole: its link, its pseudo-terminal, its files and its
// end, seen from outside as the tool and a technician see them.
#include "gateway_commands.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace cardsimtest;
namespace fs = std::filesystem;

namespace {

const QStringList kKeys = {"remote",  "dhcp",   "ip",      "subnet",         "gateway",    "on_the_fly",
                           "nbx_ip", "nbx_mac", "country", "remember_audio", "boost_audio"};

QJsonObject ReadJson(const fs::path &file)
{
    const std::string text = ReadFile(file);
    QJsonParseError error {};
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc.object();
}

class SimTest : public testing::Test {
protected:
    testsupport::DeviceDir devices;
    testsupport::TempDir files;
};

TEST_F(SimTest, AToolConfigurationLandsInTheStateFileAndTheTrace)
{
    const fs::path state = files.path() / "card.json", trace = files.path() / "trace.bin";
    SimProcess sim({"--com", "2", "--state", state, "--trace", trace}, files.path());
    const fs::path link = devices.path() / "com2";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    EXPECT_EQ(sim.FirstLine(), "brenlock-sim: COM2 is " + fs::read_symlink(link).string() + " (link " + link.string()
                                + ")\n");

    // An erased card to begin with.
    QJsonObject json = ReadJson(state);
    EXPECT_EQ(json.keys().size(), kKeys.size());
    for (const auto &key : kKeys)
        EXPECT_TRUE(json.value(key).isNull()) << key.toStdString();

    using namespace gateway;
    const std::string sequence = BeginConfigLine() + RemoteFlagLine(true) + DHCPFlagLine(false)
        + IPAddressLine("10.0.0.5") + SubnetLine("255.255.255.0") + GatewayLine("10.0.0.1")
        + OnTheFlyFlagLine(true) + NBXIPLine("10.0.1.2") + NBXMacLine("00:a0:24:1b:2c:3d")
        + CountryCodeLine("United Kingdom") + RememberAudioLine(CheckState::Checked)
        + BoostAudioLine(CheckState::Greyed) + EndConfigLine();
    {
        ToolEnd tool(link);
        for (const char c : sequence) // one byte at a time, as the tool writes
            tool.Write(std::string(1, c));
        const std::string answer = tool.ReadUntil("Brenlock card ready\r\n");
        EXPECT_EQ(answer.find("ERR"), std::string::npos) << answer;
        EXPECT_TRUE(answer.ends_with("OK configuration applied; restarting\r\nBrenlock card ready\r\n")) << answer;
    }
    json = ReadJson(state);
    EXPECT_EQ(json.keys().size(), kKeys.size());
    EXPECT_EQ(json.value("remote"), true);
    EXPECT_EQ(json.value("dhcp"), false);
    EXPECT_EQ(json.value("ip"), "10.0.0.5");
    EXPECT_EQ(json.value("subnet"), "255.255.255.0");
    EXPECT_EQ(json.value("gateway"), "10.0.0.1");
    EXPECT_EQ(json.value("on_the_fly"), true);
    EXPECT_EQ(json.value("nbx_ip"), "10.0.1.2");
    EXPECT_EQ(json.value("nbx_mac"), "00:a0:24:1b:2c:3d");
    EXPECT_EQ(json.value("country"), 2);
    EXPECT_EQ(json.value("remember_audio"), true);
    EXPECT_EQ(json.value("boost_audio"), false);
    EXPECT_EQ(ReadFile(trace), sequence);

    // Delete, in a later session.
    ASSERT_TRUE(sim.WaitForLink(link));
    {
        ToolEnd tool(link);
        tool.Write(ClearConfigLine());
        (void)tool.ReadUntil("Brenlock card ready\r\n");
    }
    json = ReadJson(state);
    for (const auto &key : kKeys)
        EXPECT_TRUE(json.value(key).isNull()) << key.toStdString();
    EXPECT_EQ(ReadFile(trace), sequence + ClearConfigLine());
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST_F(SimTest, AfterTheToolClosesItWaitsQuietlyOnAFreshDevice)
{
    SimProcess sim({}, files.path());
    const fs::path link = devices.path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    {
        // Closed without reading the answer and without clearing the
        // exclusive flag, as a tool that was killed leaves it.
        ToolEnd tool(link);
        tool.Write("%CL\r");
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(100ms);
    const long before = sim.CpuTicks();
    std::this_thread::sleep_for(400ms);
    // A card polling its hung-up line would burn about 40 ticks here.
    EXPECT_LE(sim.CpuTicks() - before, 4);

    ToolEnd tool(link);
    tool.Write("%CB\r");
    // Nothing left over from the last session.
    EXPECT_EQ(tool.ReadQuiet(), "OK begin\r\n");
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST_F(SimTest, BytesWrittenJustBeforeAQuickCloseAreStillTaken)
{
    const fs::path state = files.path() / "card.json";
    SimProcess sim({"--state", state}, files.path());
    const fs::path link = devices.path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    { ToolEnd first(link); } // the card now waits for the next opening
    std::this_thread::sleep_for(50ms);

    // The whole session passes while the card is not looking.
    kill(sim.Pid(), SIGSTOP);
    {
        ToolEnd tool(link);
        tool.Write("%CB\r%CR0\r%CF1\r%CK1\r%CQ1\r%CE\r");
    }
    kill(sim.Pid(), SIGCONT);
    bool applied = false;
    for (int i = 0; i < 200 && !applied; ++i) {
        applied = ReadFile(state).find("\"on_the_fly\": true") != std::string::npos;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(applied) << ReadFile(state);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

class KilledToolTest : public SimTest, public testing::WithParamInterface<bool> {};

// Unprivileged, the card cannot clear the flag and moves to a new device.
TEST_P(KilledToolTest, DoesNotLeaveThePortLocked)
{
    SimProcess sim({}, files.path(), {}, GetParam());
    const fs::path link = devices.path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    for (int session = 0; session < 3; ++session) {
        {
            ToolEnd tool(link); // leaves the exclusive flag set when it closes
            tool.Write("%CL\r");
        }
        // Looked at as root, who may open it anyway: the flag must go, or
        // the next open by anyone else would fail.
        bool cleared = false;
        for (int i = 0; i < 200 && !cleared; ++i) {
            const int fd = open(fs::read_symlink(link).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0) { // the card moved to a new device after we read the link
                std::this_thread::sleep_for(10ms);
                continue;
            }
            int exclusive = -1;
            EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
            close(fd);
            cleared = exclusive == 0;
            if (!cleared)
                std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(cleared) << "session " << session;
    }
    if (GetParam() || geteuid() != 0) {
        EXPECT_NE(sim.Stdout().find("brenlock-sim: COM1 is now /dev/"), std::string::npos) << sim.Stdout();
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Sim, KilledToolTest, testing::Bool(),
                         [](const auto &info) { return info.param ? "Unprivileged" : "AsStarted"; });

class StopSignalTest : public SimTest, public testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, RemovesTheLinkAndHangsUpTheTool)
{
    SimProcess sim({"--com", "8"}, files.path());
    const fs::path link = devices.path() / "com8";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    ToolEnd tool(link);
    EXPECT_EQ(sim.Stop(GetParam()), 0) << sim.Stderr();
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(tool.HangsUp());
}

INSTANTIATE_TEST_SUITE_P(Sim, StopSignalTest, testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST_F(SimTest, LeavesALinkThatSomeoneElseMadeInItsPlace)
{
    SimProcess sim({}, files.path());
    const fs::path link = devices.path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    fs::remove(link);
    fs::create_symlink("/dev/null", link);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_EQ(fs::read_symlink(link), "/dev/null");
}

struct Foreign {
    const char *name;
    void (*make)(const fs::path &);
    const char *described;
};

void PrintTo(const Foreign &row, std::ostream *os) { *os << row.name; }

class ForeignComTest : public SimTest, public testing::WithParamInterface<Foreign> {};

TEST_P(ForeignComTest, IsNotReplaced)
{
    const fs::path link = devices.path() / "com3";
    GetParam().make(link);
    const auto before = fs::symlink_status(link).type();
    SimProcess sim({"--com", "3"}, files.path());
    EXPECT_EQ(sim.Wait(), 1);
    const std::string err = sim.Stderr();
    EXPECT_NE(err.find(link.string() + " already exists (" + GetParam().described + ") and is not this card's"),
              std::string::npos)
        << err;
    EXPECT_EQ(fs::symlink_status(link).type(), before);
    EXPECT_EQ(sim.Stdout(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ForeignComTest,
    testing::Values(Foreign {"RegularFile", [](const fs::path &p) { std::ofstream(p) << "x"; }, "a regular file"},
                    Foreign {"LinkToAnotherDevice", [](const fs::path &p) { fs::create_symlink("/dev/null", p); },
                             "a link to /dev/null"},
                    // Perhaps a USB adapter that is unplugged just now.
                    Foreign {"DanglingLink", [](const fs::path &p) { fs::create_symlink("/dev/ttyUSB9", p); },
                             "a link to /dev/ttyUSB9"},
                    Foreign {"Folder", [](const fs::path &p) { fs::create_directory(p); }, "a folder"}),
    [](const auto &info) { return std::string(info.param.name); });

struct Placement {
    const char *name;
    std::map<std::string, std::optional<std::string>> env; // relative paths are under the test's folder
    const char *folder;
};

void PrintTo(const Placement &row, std::ostream *os) { *os << row.name; }

class PlacementTest : public SimTest, public testing::WithParamInterface<Placement> {};

TEST_P(PlacementTest, FollowsTheLibrarysNamingRuleAndCreatesTheFolder)
{
    auto env = GetParam().env;
    for (auto &[name, value] : env)
        if (value && !value->empty() && value->front() != '/')
            value = (files.path() / *value).string();
    SimProcess sim({"--com", "5"}, files.path(), env);
    const fs::path link = files.path() / GetParam().folder / "com5";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::is_symlink(link));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, PlacementTest,
    testing::Values(Placement {"DeviceDirThatDoesNotExistYet", {{"PORTLINK_DEVICE_DIR", "a/b"}}, "a/b"},
                    Placement {"ConfigHome",
                               {{"PORTLINK_DEVICE_DIR", std::nullopt}, {"XDG_CONFIG_HOME", "cfg"}},
                               "cfg/portlink"},
                    Placement {"EmptyDeviceDirCountsAsUnset",
                               {{"PORTLINK_DEVICE_DIR", ""}, {"XDG_CONFIG_HOME", "cfg"}},
                               "cfg/portlink"},
                    Placement {"Home",
                               {{"PORTLINK_DEVICE_DIR", std::nullopt}, {"XDG_CONFIG_HOME", std::nullopt},
                                {"HOME", "home"}},
                               "home/.config/portlink"}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadArguments {
    const char *name;
    std::vector<std::string> args;
    const char *message;
};

void PrintTo(const BadArguments &row, std::ostream *os) { *os << row.name; }

class ArgumentsTest : public SimTest, public testing::WithParamInterface<BadArguments> {};

TEST_P(ArgumentsTest, AreRefusedBeforeAnythingIsCreated)
{
    SimProcess sim(GetParam().args, files.path());
    EXPECT_EQ(sim.Wait(), 2);
    EXPECT_EQ(sim.Stderr(), std::string("brenlock-sim: ") + GetParam().message + " (see --help)\n");
    EXPECT_TRUE(fs::is_empty(devices.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ArgumentsTest,
    testing::Values(BadArguments {"PortTooHigh", {"--com", "9"}, "--com takes a port number from 1 to 8, not '9'"},
                    BadArguments {"PortZero", {"--com=0"}, "--com takes a port number from 1 to 8, not '0'"},
                    BadArguments {"PortNotANumber", {"--com", "1x"}, "--com takes a port number from 1 to 8, not '1x'"},
                    BadArguments {"MissingValue", {"--state"}, "--state needs a value"},
                    BadArguments {"EmptyFile", {"--trace="}, "--trace needs a file name"},
                    BadArguments {"UnknownOption", {"--verbose"}, "unknown argument '--verbose'"},
                    BadArguments {"Positional", {"com1"}, "unknown argument 'com1'"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimTest, HelpSaysHowToRunIt)
{
    SimProcess sim({"--help"}, files.path());
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_TRUE(sim.Stdout().starts_with("Usage: brenlock-sim [--com N] [--state FILE] [--trace FILE]\n"));
    EXPECT_TRUE(fs::is_empty(devices.path()));
}

TEST_F(SimTest, AStateFileThatCannotBeWrittenStopsItAtOnce)
{
    SimProcess sim({"--state", (files.path() / "missing" / "card.json").string()}, files.path());
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_NE(sim.Stderr().find("cannot write"), std::string::npos) << sim.Stderr();
    EXPECT_FALSE(fs::exists(devices.path() / "com1"));
}

} // namespace
