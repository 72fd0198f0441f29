// brenlock-sim as a whole: its link, its pseudo-terminal, its files and its
// end, seen from outside as the tool and a technician see them.
#include "pty_pair.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Each entry of `folder` with what it is: a regular file's content, a link's
// target, or the file type.
std::map<std::string, std::string> Snapshot(const fs::path &folder)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : fs::directory_iterator(folder)) {
        const auto type = entry.symlink_status().type();
        entries[entry.path().filename()] = type == fs::file_type::symlink ? "-> " + fs::read_symlink(entry).string()
            : type == fs::file_type::regular                             ? ReadFile(entry)
                                                                         : std::to_string(static_cast<int>(type));
    }
    return entries;
}

class SimTest : public testing::Test {
protected:
    testsupport::DeviceDir devices;
    testsupport::TempDir files;
};

TEST_F(SimTest, AToolConfigurationLandsInTheStateFileAndTheTrace)
{
    const fs::path state = files.Path() / "card.json", trace = files.Path() / "trace.bin";
    SimProcess sim({"--com", "2", "--state", state, "--trace", trace}, files.Path());
    const fs::path link = devices.Path() / "com2";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    EXPECT_EQ(sim.FirstLine(), "brenlock-sim: COM2 is " + fs::read_symlink(link).string() + " (link " + link.string()
                                + ")\n");

    // An erased card to begin with.
    QJsonObject json = ReadJson(state);
    EXPECT_EQ(json.keys().size(), kKeys.size());
    for (const auto &key : kKeys)
        EXPECT_TRUE(json.value(key).isNull()) << key.toStdString();

    const std::string sequence = "%CB\r%CR1\r%CP0\r%CI10.0.0.5\ry%CS255.255.255.0\ry%CG10.0.0.1\ry%CF1\r"
                                 "%CN10.0.1.2\ry%CM00:a0:24:1b:2c:3d\ry%CV2\r%CK1\r%CQ0\r%CE\r";
    const std::string clear = "%CC\r";
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
        tool.Write(clear);
        (void)tool.ReadUntil("Brenlock card ready\r\n");
    }
    json = ReadJson(state);
    for (const auto &key : kKeys)
        EXPECT_TRUE(json.value(key).isNull()) << key.toStdString();
    EXPECT_EQ(ReadFile(trace), sequence + clear);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST_F(SimTest, AfterTheToolClosesItWaitsQuietlyOnAFreshDevice)
{
    SimProcess sim({}, files.Path());
    const fs::path link = devices.Path() / "com1";
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
    const fs::path state = files.Path() / "card.json";
    SimProcess sim({"--state", state}, files.Path());
    const fs::path link = devices.Path() / "com1";
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

// Keeps the card off the processor while it lives: both on this thread's
// processor, this thread first.
class CardHeldOff {
public:
    explicit CardHeldOff(pid_t card)
    {
        cpu_set_t here;
        CPU_ZERO(&here);
        CPU_SET(sched_getcpu(), &here);
        const sched_param first {1};
        held_ = sched_getaffinity(0, sizeof own_, &own_) == 0 && sched_setaffinity(card, sizeof here, &here) == 0
            && sched_setaffinity(0, sizeof here, &here) == 0 && sched_setscheduler(0, SCHED_FIFO, &first) == 0;
    }
    ~CardHeldOff()
    {
        const sched_param normal {0};
        sched_setscheduler(0, SCHED_OTHER, &normal);
        sched_setaffinity(0, sizeof own_, &own_);
    }
    CardHeldOff(const CardHeldOff &) = delete;
    CardHeldOff &operator=(const CardHeldOff &) = delete;
    [[nodiscard]] bool Held() const { return held_; }

private:
    cpu_set_t own_ {};
    bool held_ = false;
};

class ReopenedLineTest : public SimTest, public testing::WithParamInterface<bool> {};

// The next tool opens and writes while the card is stopped with the last
// one's hang-up in hand, not yet taken in.
TEST_P(ReopenedLineTest, IsAnswered)
{
    SimProcess sim({}, files.Path(), {}, GetParam());
    const fs::path link = devices.Path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    {
        auto first = std::make_unique<ToolEnd>(link);
        std::this_thread::sleep_for(50ms); // the card watches this line now
        const CardHeldOff hold(sim.Pid());
        if (!hold.Held())
            GTEST_SKIP() << "holding the card off needs a real-time priority";
        first.reset();
        kill(sim.Pid(), SIGSTOP); // it stops once its poll has returned the hang-up
    }
    std::this_thread::sleep_for(50ms);
    ToolEnd tool(link);
    tool.Write("%CL\r");
    kill(sim.Pid(), SIGCONT);
    const std::string answer = tool.ReadUntil("OK\r\n");
    EXPECT_TRUE(answer.starts_with("running configuration:\r\n")) << answer;
    EXPECT_TRUE(answer.ends_with("OK\r\n")) << answer;
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Sim, ReopenedLineTest, testing::Bool(),
                         [](const auto &info) { return info.param ? "Unprivileged" : "AsStarted"; });

class KilledToolTest : public SimTest, public testing::WithParamInterface<bool> {};

// Unprivileged, the card cannot clear the flag and moves to a new device.
TEST_P(KilledToolTest, DoesNotLeaveThePortLocked)
{
    SimProcess sim({}, files.Path(), {}, GetParam());
    const fs::path link = devices.Path() / "com1";
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
    SimProcess sim({"--com", "8"}, files.Path());
    const fs::path link = devices.Path() / "com8";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    ToolEnd tool(link);
    EXPECT_EQ(sim.Stop(GetParam()), 0) << sim.Stderr();
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(tool.HangsUp());
}

INSTANTIATE_TEST_SUITE_P(Sim, StopSignalTest, testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST_F(SimTest, LeavesALinkThatSomeoneElseMadeInItsPlace)
{
    SimProcess sim({}, files.Path());
    const fs::path link = devices.Path() / "com1";
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
    const fs::path link = devices.Path() / "com3";
    GetParam().make(link);
    const auto before = fs::symlink_status(link).type();
    SimProcess sim({"--com", "3"}, files.Path());
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

// Under umask 000 too, the folders it makes are its own alone: nobody else
// can put a comN there.
TEST_P(PlacementTest, FollowsTheLibrarysNamingRuleAndCreatesThePrivateFolder)
{
    auto env = GetParam().env;
    for (auto &[name, value] : env)
        if (value && !value->empty() && value->front() != '/')
            value = (files.Path() / *value).string();
    const mode_t mask = umask(0);
    SimProcess sim({"--com", "5"}, files.Path(), env);
    umask(mask);
    const fs::path link = files.Path() / GetParam().folder / "com5";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    for (fs::path made = GetParam().folder; !made.empty(); made = made.parent_path()) {
        struct stat st {};
        ASSERT_EQ(stat((files.Path() / made).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << made;
    }
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
    SimProcess sim(GetParam().args, files.Path());
    EXPECT_EQ(sim.Wait(), 2);
    EXPECT_EQ(sim.Stderr(), std::string("brenlock-sim: ") + GetParam().message + " (see --help)\n");
    EXPECT_TRUE(fs::is_empty(devices.Path()));
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
    SimProcess sim({"--help"}, files.Path());
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_TRUE(sim.Stdout().starts_with("Usage: brenlock-sim [--com N] [--state FILE] [--trace FILE]\n"));
    EXPECT_TRUE(fs::is_empty(devices.Path()));
}

TEST_F(SimTest, AStateFileThatCannotBeWrittenStopsItAtOnce)
{
    SimProcess sim({"--state", (files.Path() / "missing" / "card.json").string()}, files.Path());
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_NE(sim.Stderr().find("cannot write"), std::string::npos) << sim.Stderr();
    EXPECT_FALSE(fs::exists(devices.Path() / "com1"));
}

struct FailedStart {
    const char *name;
    fs::path (*spoil)(const fs::path &devices); // makes the start fail; returns the device folder
};

void PrintTo(const FailedStart &row, std::ostream *os) { *os << row.name; }

class FailedStartTest : public SimTest, public testing::WithParamInterface<FailedStart> {};

TEST_P(FailedStartTest, LeavesTheLastRunsFilesAsTheyWere)
{
    const fs::path kept = files.Path() / "kept";
    fs::create_directory(kept);
    std::ofstream(kept / "card.json") << "{\"ip\": \"10.0.0.5\"}\n";
    std::ofstream(kept / "card.bin") << "%CB\r%CE\r";
    const auto before = Snapshot(kept);
    const std::string deviceDir = GetParam().spoil(devices.Path());
    for (const std::string stem : {"card", "new"}) { // files there, and files it would make
        SimProcess sim({"--state", kept / (stem + ".json"), "--trace", kept / (stem + ".bin")}, files.Path(),
                       {{"PORTLINK_DEVICE_DIR", deviceDir}});
        EXPECT_EQ(sim.Wait(), 1) << sim.Stderr();
        EXPECT_EQ(Snapshot(kept), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, FailedStartTest,
    testing::Values(FailedStart {"ComTakenByAnother",
                                 [](const fs::path &devices) {
                                     fs::create_symlink("/dev/ttyUSB9", devices / "com1");
                                     return devices;
                                 }},
                    FailedStart {"DeviceFolderUnwritable",
                                 [](const fs::path &devices) {
                                     std::ofstream(devices / "file") << "x";
                                     return devices / "file" / "portlink";
                                 }}),
    [](const auto &info) { return std::string(info.param.name); });

struct NotAStateFile {
    const char *name;
    bool (*make)(const fs::path &); // false: cannot, as this user
};

void PrintTo(const NotAStateFile &row, std::ostream *os) { *os << row.name; }

class NotAStateFileTest : public SimTest, public testing::WithParamInterface<NotAStateFile> {};

// The state is renamed over the file, which would replace whatever is there.
TEST_P(NotAStateFileTest, IsRefusedBeforeAnythingIsCreated)
{
    const fs::path folder = files.Path() / "state", state = folder / "card.json";
    fs::create_directory(folder);
    std::ofstream(folder / "theirs.txt") << "theirs\n";
    if (!GetParam().make(state))
        GTEST_SKIP() << "a device node needs root";
    const auto before = Snapshot(folder);
    // The trace is truncated at its name, which would empty whatever is there.
    for (const char *option : {"--state", "--trace"}) {
        SimProcess sim({option, state}, files.Path());
        EXPECT_EQ(sim.Wait(), 1) << option;
        const std::string err = sim.Stderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(std::string(option) + " " + state.string() + " is"), std::string::npos) << err;
        EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
        EXPECT_EQ(Snapshot(folder), before);
        EXPECT_TRUE(fs::is_empty(devices.Path()));
        EXPECT_EQ(sim.Stdout(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, NotAStateFileTest,
    testing::Values(NotAStateFile {"DeviceNode", // as /dev/null, but here
                                   [](const fs::path &p) { return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},
                    NotAStateFile {"Link",
                                   [](const fs::path &p) {
                                       fs::create_symlink("theirs.txt", p);
                                       return true;
                                   }},
                    NotAStateFile {"Folder", [](const fs::path &p) { return fs::create_directory(p); }}),
    [](const auto &info) { return std::string(info.param.name); });

struct ForeignPath {
    const char *name;
    bool (*make)(const fs::path &files); // makes files/mine/card.*; false: cannot, as this user
    const char *path;                    // what the card is given, below files/
    const char *why;
};

void PrintTo(const ForeignPath &row, std::ostream *os) { *os << row.name; }

class ForeignPathTest : public SimTest, public testing::WithParamInterface<ForeignPath> {};

// The state and the trace are walked to as the tool's log is: neither is
// written through another user's link, nor into a file of theirs planted
// in a shared folder.
TEST_P(ForeignPathTest, IsRefusedAndLeftAsItWas)
{
    if (!GetParam().make(files.Path()))
        GTEST_SKIP() << "another user's files need root";
    const fs::path mine = files.Path() / "mine";
    const auto before = Snapshot(mine);
    for (const char *option : {"--state", "--trace"}) {
        const std::string file = (files.Path() / GetParam().path).string() + (option[2] == 's' ? ".json" : ".bin");
        SimProcess sim({option, file}, files.Path());
        EXPECT_EQ(sim.Wait(), 1) << option;
        EXPECT_NE(sim.Stderr().find(GetParam().why), std::string::npos) << sim.Stderr();
        EXPECT_EQ(Snapshot(mine), before) << option;
        EXPECT_TRUE(fs::is_empty(devices.Path()));
    }
}

// files/mine/card.json and card.bin, given to another user or not.
bool MakeCardFiles(const fs::path &files, bool theirs)
{
    fs::create_directory(files / "mine");
    bool given = true;
    for (const char *name : {"card.json", "card.bin"}) {
        std::ofstream(files / "mine" / name) << "kept\n";
        given = given && (!theirs || chown((files / "mine" / name).c_str(), 65534, 65534) == 0);
    }
    return given;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ForeignPathTest,
    testing::Values(ForeignPath {"TheirFolderLink",
                                 [](const fs::path &files) {
                                     fs::create_symlink("mine", files / "theirs");
                                     return MakeCardFiles(files, false)
                                         && lchown((files / "theirs").c_str(), 65534, 65534) == 0;
                                 },
                                 "theirs/card", "'theirs' is a symbolic link made by another user (uid 65534)"},
                    ForeignPath {"TheirFileInASharedFolder",
                                 [](const fs::path &files) {
                                     return MakeCardFiles(files, true) && chmod((files / "mine").c_str(), 01777) == 0;
                                 },
                                 "mine/card", "belongs to another user (uid 65534)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimTest, SavesThroughNoLinkPlantedAtAPredictableTemporaryName)
{
    const fs::path state = files.Path() / "card.json", theirs = files.Path() / "theirs.txt";
    std::ofstream(theirs) << "theirs\n";
    SimProcess sim({"--state", state}, files.Path());
    const fs::path link = devices.Path() / "com1";
    ASSERT_TRUE(sim.WaitForLink(link)) << sim.Stderr();
    fs::create_symlink(theirs, files.Path() / ("card.json.tmp-" + std::to_string(sim.Pid())));
    {
        ToolEnd tool(link);
        tool.Write("%CB\r%CR0\r%CF1\r%CK1\r%CQ1\r%CE\r");
        EXPECT_TRUE(tool.ReadUntil("Brenlock card ready\r\n").ends_with("Brenlock card ready\r\n"));
    }
    EXPECT_EQ(ReadFile(theirs), "theirs\n");
    EXPECT_EQ(fs::symlink_status(state).type(), fs::file_type::regular);
    EXPECT_EQ(ReadJson(state).value("on_the_fly"), true);
    // Nothing of the card's own is left beside the planted link.
    const auto entries = Snapshot(files.Path());
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const auto &entry) { return entry.first.find(".tmp-") != std::string::npos; }),
              1);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

} // namespace
