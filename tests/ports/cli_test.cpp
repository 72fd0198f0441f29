// The built tovrik-ports run as a technician runs it, on a private device
// folder with pseudo-terminals for devices.
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QProcess>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <fstream>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

// `unprivileged` takes away root's right to open a device another program
// holds exclusively, as an ordinary user has none.
Result Ports(const std::vector<std::string> &args, const std::string &deviceDir = {}, bool unprivileged = false)
{
    QProcess process;
    QStringList arguments;
    for (const auto &arg : args)
        arguments << QString::fromStdString(arg);
    if (!deviceDir.empty()) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("PORTLINK_DEVICE_DIR", QString::fromStdString(deviceDir));
        process.setProcessEnvironment(env);
    }
    if (unprivileged)
        process.setChildProcessModifier([] { prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN); });
    process.start(TOVRIK_PORTS, arguments);
    if (!process.waitForFinished(10000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

// A line after the first: "COM<port>", spaces, `device`, spaces, then `state`.
bool Lists(const std::string &listing, int port, const std::string &device, const std::string &state)
{
    const std::string start = "\nCOM" + std::to_string(port);
    for (auto at = listing.find(start); at != std::string::npos; at = listing.find(start, at + 1)) {
        std::size_t i = at + start.size();
        const auto spaces = [&] {
            const std::size_t from = i;
            while (i < listing.size() && listing[i] == ' ')
                ++i;
            return i > from;
        };
        if (!spaces() || listing.compare(i, device.size(), device) != 0)
            continue;
        i += device.size();
        if (spaces() && listing.compare(i, state.size(), state) == 0)
            return true;
    }
    return false;
}

std::vector<std::string> Contents(const fs::path &folder)
{
    std::vector<std::string> entries;
    for (const auto &entry : fs::directory_iterator(folder))
        entries.push_back(entry.path().filename().string()
                          + (entry.is_symlink() ? " -> " + fs::read_symlink(entry).string() : ""));
    std::sort(entries.begin(), entries.end());
    return entries;
}

// tovrik-ports opens the devices, so this process keeps none of them open.
constexpr auto kUnopened = testsupport::PtyPair::Slave::Unopened;

class PortsCli : public testing::Test {
protected:
    testsupport::DeviceDir folder;
    testsupport::PtyPair a {kUnopened}, b {kUnopened};
};

TEST_F(PortsCli, MapListReplaceUnmap)
{
    for (const int port : {1, 8}) { // the lowest and the highest
        const std::string n = std::to_string(port), com = "com" + n;
        SCOPED_TRACE(com);
        const Result mapped = Ports({"map", n, a.DevicePath()});
        EXPECT_EQ(mapped.status, 0) << mapped.err;
        EXPECT_EQ(mapped.out, "COM" + n + " is now " + a.DevicePath() + "\n");
        const std::string listing = Ports({}).out;
        EXPECT_TRUE(Lists(listing, port, a.DevicePath(), "ready")) << listing;

        EXPECT_EQ(Ports({"map", "--force", n, b.DevicePath()}).status, 0);
        EXPECT_EQ(fs::read_symlink(folder.Path() / com), b.DevicePath());

        EXPECT_EQ(Ports({"unmap", n}).status, 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(folder.Path() / com)));
        EXPECT_TRUE(Lists(Ports({}).out, port, "/dev/ttyS" + std::to_string(port - 1), "")); // the built-in port again
    }
}

// Others could otherwise point COM n anywhere, and the library refuses such a folder.
TEST_F(PortsCli, MakesItsFolderPrivateWhateverTheUmask)
{
    const fs::path made = folder.Path() / "new" / "portlink";
    const mode_t mask = ::umask(0);
    const Result mapped = Ports({"map", "1", a.DevicePath()}, made.string());
    ::umask(mask);
    ASSERT_EQ(mapped.status, 0) << mapped.err;
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(PortsCli, ListsGoneAndHeldDevices)
{
    // An adapter's node vanishes when it is unplugged. A hung-up pty would
    // too, but its number may go at once to another test's new pty.
    testsupport::PtyPair exclusive {kUnopened};
    testsupport::TempDir dev;
    const std::string gone = (dev.Path() / "ttyUSB0").string();
    fs::create_symlink(a.DevicePath(), gone);
    folder.Map(1, gone);
    folder.Map(2, b.DevicePath());
    folder.Map(3, exclusive.DevicePath());
    folder.Map(5, "/dev/ttyUSB\n\x1b[2Jgone");
    fs::remove(gone);
    const int locked = open(b.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    const int flagged = open(exclusive.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(locked, LOCK_EX), 0);
    ASSERT_EQ(ioctl(flagged, TIOCEXCL), 0);

    const Result listed = Ports({}, {}, true);
    EXPECT_EQ(listed.status, 0);
    // This test's process is the other program, known by its name and PID.
    const std::string holder = "in use by ports_tests (PID " + std::to_string(getpid()) + ")\n";
    EXPECT_TRUE(Lists(listed.out, 1, gone, "missing")) << listed.out;
    EXPECT_TRUE(Lists(listed.out, 2, b.DevicePath(), holder)) << listed.out;
    EXPECT_TRUE(Lists(listed.out, 3, exclusive.DevicePath(), holder)) << listed.out;
    EXPECT_TRUE(Lists(listed.out, 5, R"(/dev/ttyUSB\n\x1b[2Jgone)", "missing\n")) << listed.out;
    EXPECT_EQ(listed.out.find('\x1b'), std::string::npos);
    const Result mapped = Ports({"map", "4", exclusive.DevicePath()}, {}, true);
    EXPECT_EQ(mapped.status, 1);
    EXPECT_NE(mapped.err.find(": it is in use by ports_tests (PID "), std::string::npos) << mapped.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.Path() / "com4")));
    close(locked);
    close(flagged);
}

TEST_F(PortsCli, RefusesBadInputAndLeavesTheFolderAlone)
{
    folder.Map(1, a.DevicePath());
    std::ofstream(folder.Path() / "com3") << "mine";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string says;
        std::string deviceDir = {};
    };
    const std::string pty = b.DevicePath();
    // Folders that can be made, in a folder whose link cannot: its path is
    // too long by a few bytes.
    std::string deep = (folder.Path() / "new").string();
    while (deep.size() < PATH_MAX - 5)
        deep += "/" + std::string(std::clamp<std::size_t>(PATH_MAX - 6 - deep.size(), 1, 200), 'd');
    const std::vector<Row> rows = {
        {{"map", "9", pty}, 2, "from 1 to 8, not '9'"},
        {{"unmap", "0"}, 2, "from 1 to 8, not '0'"},
        {{"map", "2", "pts/0"}, 1, "absolute path"},
        {{"map", "2", "/dev/ttyUSB99"}, 1, "No such file or directory"},
        {{"map", "2", "/dev/ttyUSB\n\x1b[2J"}, 1, "cannot map COM2 to /dev/ttyUSB\\n\\x1b[2J: No such"},
        {{"map", "2", "/dev/null"}, 1, "not a terminal"},
        {{"map", "2", "/dev/ptmx"}, 1, "cannot map COM2 to /dev/ptmx: it stands for another terminal"},
        {{"map", "2", "/dev/console"}, 1, "cannot map COM2 to /dev/console: it is the system console"},
        {{"map", "1", pty}, 1, "add --force"},
        {{"map", "--force", "3", pty}, 1, "not a symbolic link"},
        {{"unmap", "3"}, 1, "not a symbolic link"},
        {{"unmap", "2"}, 1, "not mapped"},
        {{"map", "2", pty}, 1, "device folder", (folder.Path() / "com3/portlink").string()},
        {{"map", "2", pty}, 1, "cannot create the device folder", (folder.Path() / "new" / std::string(300, 'n')).string()},
        {{"map", "2", pty}, 1, "cannot write in the device folder", deep},
        {{"list"}, 2, "unknown command 'list'"},
    };
    const auto before = Contents(folder.Path());
    for (const auto &row : rows) {
        const Result run = Ports(row.args, row.deviceDir);
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.rfind("tovrik-ports: ", 0) == 0 && run.err.find('\n') == run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(Contents(folder.Path()), before);
    }
}

} // namespace
