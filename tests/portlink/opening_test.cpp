// Opening a port behind the backend seam: a card that went away is opened
// again only when its port leads to the same device, in fake /dev and /sys
// trees that hold adapters, stable names and USB sockets a test machine does
// not have; a device that refuses the line settings says so; a console, a
// port with no UART and a device another process has open are let go again,
// opened as COM n or by their path.
#include "fake_system.h"
#include "port_link.h"
#include "serial_backend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace portlink {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Stands for a device that opened; what it does once open is not looked at.
class IdleDevice final : public SerialBackend {
public:
    explicit IdleDevice(bool settles = true) : settles_(settles) {}
    bool Configure() override { return settles_; }
    WriteResult Write(std::uint8_t, std::chrono::milliseconds) override { return WriteResult::Written; }
    bool Sending() override { return false; }
    std::size_t Queued() override { return 0; }
    void DiscardQueued() override {}
    void Interrupt() override {}
    int WaitHandle() const override { return -1; }
    ReadResult Read(std::span<std::uint8_t>, bool) override { return {}; }

private:
    bool settles_;
};

struct Tree {
    fs::path root = fs::temp_directory_path() / ("reopen-" + std::to_string(::getpid()));
    fs::path dev = root / "dev", sys = root / "sys", links = root / "portlink";

    Tree()
    {
        fs::remove_all(root);
        for (const auto &dir : {dev / "serial" / "by-id", sys / "class" / "tty", links})
            fs::create_directories(dir);
        Device("ttyS0"); // the built-in port COM1 falls back to
        ::setenv("PORTLINK_DEVICE_DIR", links.c_str(), 1);
    }
    ~Tree()
    {
        ::unsetenv("PORTLINK_DEVICE_DIR");
        fs::remove_all(root);
    }

    void Device(const std::string &name) { std::ofstream(dev / name).put('\n'); }
    void Link(const fs::path &at, const fs::path &to)
    {
        fs::remove(at);
        fs::create_directories(at.parent_path());
        fs::create_symlink(to, at);
    }
    // Made anew as the card and tovrik-ports make it: a new link renamed over the old.
    void Map(const fs::path &to)
    {
        fs::create_symlink(to, links / "com1.new");
        fs::rename(links / "com1.new", links / "com1");
    }
    // The adapter behind ttyUSB<n> sits in USB socket `socket` (e.g. 1-2).
    void Socket(const std::string &tty, const std::string &socket)
    {
        const fs::path usb = sys / "devices" / "usb1" / socket;
        fs::create_directories(usb / (socket + ":1.0") / tty);
        std::ofstream(usb / "idVendor") << "0403\n";
        Link(sys / "class" / "tty" / tty / "device", usb / (socket + ":1.0") / tty);
    }
};

// An idle device that says it opened what `path` leads to, as a descriptor would.
OpenOutcome Opened(const std::string &path)
{
    OpenOutcome opened {std::make_unique<IdleDevice>(), {}};
    opened.node = devices::NodeOf(path).value_or(devices::NodeId {});
    return opened;
}

struct ReopenCase {
    const char *name;
    std::function<void(Tree &)> before; // COM1 opens as this leaves it
    std::function<void(Tree &)> gone;   // while the card is away
    bool reopens;
    const char *path = nullptr; // opened by this path below /dev instead of as COM1
};

void PrintTo(const ReopenCase &c, std::ostream *os) { *os << c.name; }

// Another user's link can only be made by root.
bool MayChownToOthers() { return ::geteuid() == 0; }

class ReopenTest : public ::testing::TestWithParam<ReopenCase> {
protected:
    Tree tree;
    std::vector<std::string> opened; // every path the link tried to open
    PortLink link {[this](const std::string &path) {
                       opened.push_back(path);
                       if (!fs::exists(path))
                           return OpenOutcome {nullptr, "no such device"};
                       return Opened(path);
                   },
                   devices::SystemRoots {tree.dev, tree.sys}};
};

TEST_P(ReopenTest, OnlyTheSameDeviceOrANewMapping)
{
    if (std::string(GetParam().name).find("AnotherUser") != std::string::npos && !MayChownToOthers())
        GTEST_SKIP() << "only root can make another user's link";
    GetParam().before(tree);
    const bool mapped = fs::is_symlink(tree.links / "com1");
    const std::string given = GetParam().path ? (tree.dev / GetParam().path).string() : "";
    ASSERT_TRUE(given.empty() ? link.Open(1) : link.OpenPath(given));
    link.Close();
    GetParam().gone(tree);
    opened.clear();
    EXPECT_EQ(link.Reopen(), GetParam().reopens) << link.OpenError();
    for (const auto &path : opened) {
        EXPECT_TRUE(!mapped || path != (tree.dev / "ttyS0").string()) << "fell back to the built-in port";
        EXPECT_TRUE(given.empty() || path == given) << "left the path it was given for " << path;
    }
    if (!GetParam().reopens) {
        EXPECT_NE(link.OpenError().find("waiting for " + (given.empty() ? "COM1" : given)), std::string::npos)
            << link.OpenError();
    }
}

const auto kPty = [](Tree &t) {
    t.Device("pts5");
    t.Map(t.dev / "pts5");
};
const auto kAdapter = [](Tree &t) {
    t.Device("ttyUSB0");
    t.Link(t.dev / "serial/by-id/usb-FTDI_A1", "../../ttyUSB0");
};
const auto kNothing = [](Tree &) {};

INSTANTIATE_TEST_SUITE_P(
    CardAway, ReopenTest,
    ::testing::Values(
        ReopenCase {"LinkRemovedNeverFallsBackToTheBuiltInPort", kPty, [](Tree &t) { fs::remove(t.links / "com1"); },
                    false},
        ReopenCase {"LinkMadeAnewOpens", kPty,
                    [](Tree &t) {
                        fs::remove(t.links / "com1");
                        t.Device("pts6");
                        t.Map(t.dev / "pts6");
                    },
                    true},
        // The card died without removing its link; the next terminal window
        // has the same pseudo-terminal name.
        ReopenCase {"StaleLinkToATerminalNameWaits", kPty, kNothing, false},
        ReopenCase {"AdapterBackUnderItsStableName",
                    [](Tree &t) {
                        kAdapter(t);
                        t.Map(t.dev / "serial/by-id/usb-FTDI_A1");
                    },
                    [](Tree &t) {
                        fs::remove(t.dev / "ttyUSB0");
                        t.Device("ttyUSB1");
                        t.Link(t.dev / "serial/by-id/usb-FTDI_A1", "../../ttyUSB1");
                    },
                    true},
        ReopenCase {"AnotherAdapterTookItsName",
                    [](Tree &t) {
                        kAdapter(t);
                        t.Map(t.dev / "ttyUSB0");
                    },
                    [](Tree &t) {
                        fs::remove(t.dev / "serial/by-id/usb-FTDI_A1");
                        t.Link(t.dev / "serial/by-id/usb-Other_B2", "../../ttyUSB0");
                    },
                    false},
        ReopenCase {"AdapterWithoutSerialBackInItsSocket",
                    [](Tree &t) {
                        t.Device("ttyUSB0");
                        t.Socket("ttyUSB0", "1-2");
                        t.Map(t.dev / "ttyUSB0");
                    },
                    kNothing, true},
        ReopenCase {"AdapterWithoutSerialInAnotherSocket",
                    [](Tree &t) {
                        t.Device("ttyUSB0");
                        t.Socket("ttyUSB0", "1-2");
                        t.Map(t.dev / "ttyUSB0");
                    },
                    [](Tree &t) { t.Socket("ttyUSB0", "1-3"); }, false},
        ReopenCase {"BuiltInPortIsItself", kNothing, kNothing, true},
        // Plugged back in, each adapter has the other's device name.
        ReopenCase {"AdaptersBackWithTheirNamesSwapped",
                    [](Tree &t) {
                        kAdapter(t);
                        t.Map(t.dev / "ttyUSB0");
                    },
                    [](Tree &t) {
                        t.Device("ttyUSB1");
                        t.Link(t.dev / "serial/by-id/usb-FTDI_A1", "../../ttyUSB1");
                        t.Link(t.dev / "serial/by-id/usb-Other_B2", "../../ttyUSB0");
                    },
                    false},
        // The card made its link anew and died; another program's terminal
        // has the name since.
        ReopenCase {"NameTakenAfterTheLinkWasMadeAnew", kPty,
                    [](Tree &t) {
                        t.Map(t.dev / "pts5");
                        std::this_thread::sleep_for(20ms);
                        fs::remove(t.dev / "pts5");
                        t.Device("pts5");
                    },
                    false},
        ReopenCase {"LinkMadeAnewByAnotherUser", kPty,
                    [](Tree &t) {
                        t.Map(t.dev / "pts5");
                        ASSERT_EQ(::lchown((t.links / "com1").c_str(), 4242, 4242), 0);
                    },
                    false},
        ReopenCase {"LinkMadeAnewInAFolderAnyoneMayWrite", kPty,
                    [](Tree &t) {
                        t.Map(t.dev / "pts5");
                        fs::permissions(t.links, fs::perms::all);
                    },
                    false},
        // Opened by its path: the same identity rules, with no link of ours.
        ReopenCase {"PathToATerminalNameWaits", [](Tree &t) { t.Device("pts5"); }, kNothing, false, "pts5"},
        ReopenCase {"PathToAnAdapterBackUnderItsStableName", kAdapter,
                    [](Tree &t) {
                        fs::remove(t.dev / "ttyUSB0");
                        t.Device("ttyUSB1");
                        t.Link(t.dev / "serial/by-id/usb-FTDI_A1", "../../ttyUSB1");
                    },
                    true, "serial/by-id/usb-FTDI_A1"}),
    [](const auto &info) { return std::string(info.param.name); });

// One line on stderr when the wait starts and one when it ends, however
// many retries lie between.
TEST(ReopenLines, OneWhenTheWaitStartsAndOneWhenItEnds)
{
    Tree tree;
    PortLink link {Opened, devices::SystemRoots {tree.dev, tree.sys}};
    kPty(tree);
    ASSERT_TRUE(link.Open(1));
    testing::internal::CaptureStderr();
    for (int retry = 0; retry < 5; ++retry)
        EXPECT_FALSE(link.Reopen());
    tree.Map(tree.dev / "pts5");
    EXPECT_TRUE(link.Reopen());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_EQ(said.rfind("portlink: waiting for COM1", 0), 0u) << said;
    EXPECT_NE(said.find("portlink: COM1 is back"), std::string::npos) << said;
}

// The card restarts while the port opens: open() followed the old link, and
// the new one is in place when the stamp would be taken.
TEST(OpenWhileTheLinkIsReplaced, TheIdentityIsWhatWasOpened)
{
    Tree tree;
    kPty(tree);
    tree.Device("pts6");
    int calls = 0;
    PortLink link {[&](const std::string &path) {
                       auto outcome = Opened(path);
                       if (++calls == 1)
                           tree.Map(tree.dev / "pts6");
                       return outcome;
                   },
                   devices::SystemRoots {tree.dev, tree.sys}};
    ASSERT_TRUE(link.Open(1)) << link.OpenError();
    EXPECT_EQ(calls, 2);
    link.Close();
    // The card dies; its terminal's name goes to another program.
    EXPECT_FALSE(link.Reopen()) << "took the stamp of a link that open() did not follow";
}

TEST(OpenThroughAnUntrustedLink, IsRefusedWithTheReason)
{
    for (const bool otherUsersLink : {MayChownToOthers(), false}) {
        Tree tree;
        kPty(tree);
        if (otherUsersLink)
            ASSERT_EQ(::lchown((tree.links / "com1").c_str(), 4242, 4242), 0);
        else
            fs::permissions(tree.links, fs::perms::all);
        PortLink link {Opened, devices::SystemRoots {tree.dev, tree.sys}};
        testing::internal::CaptureStderr();
        EXPECT_FALSE(link.Open(1));
        testing::internal::GetCapturedStderr();
        EXPECT_NE(link.OpenError().find(otherUsersLink ? "made by another user (uid 4242)" : "may be written by every user"),
                  std::string::npos)
            << link.OpenError();
    }
}

TEST(LineSettings, RefusedOnesAreTheReasonGiven)
{
    PortLink link {[](const std::string &) { return OpenOutcome {std::make_unique<IdleDevice>(false), {}}; }};
    ASSERT_TRUE(link.Open(3));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(link.Configure());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("portlink: cannot configure COM3", 0), 0u) << said;
    EXPECT_EQ("portlink: " + link.OpenError() + "\n", said);
}

struct RefusalRow {
    const char *name;
    // Lays out COM n around `device`; returns n and the line expected, in
    // which {dev}, {folder}, {pty} and {pid} stand for what the test made.
    // No line: it opens, and carries bytes both ways.
    std::function<std::pair<int, std::string>(testsupport::FakeSystem &, const testsupport::PtyPair &device)> prepare;
    const char *path = nullptr; // opened by this path, with the same stand-ins, instead of as COM n
};

void PrintTo(const RefusalRow &row, std::ostream *os) { *os << row.name; }

class RefusalTest : public testsupport::FakeSystem, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(RefusalTest, DeviceLetGoWithItsReason)
{
    testsupport::PtyPair device;
    const auto [port, line] = GetParam().prepare(*this, device);
    std::optional<testsupport::DeviceHolder> holder;
    if (line.find("{pid}") != std::string::npos)
        holder.emplace(device.DevicePath());
    const auto expand = [&](std::string text) {
        for (const auto &[key, value] : {std::pair<std::string, std::string> {"{dev}", roots.dev.string()},
                                         {"{folder}", folder.Path().string()},
                                         {"{pty}", device.DevicePath()},
                                         {"{pid}", holder ? std::to_string(holder->Pid()) : ""}})
            if (const auto at = text.find(key); at != std::string::npos)
                text.replace(at, key.size(), value);
        return text;
    };
    const std::string expected = expand(line);

    PortLink link {[this](const std::string &path) { return OpenSerialDeviceIn(roots, path); }, roots};
    testing::internal::CaptureStderr();
    const bool opened = GetParam().path ? link.OpenPath(expand(GetParam().path)) : link.Open(port);
    const std::string said = testing::internal::GetCapturedStderr();
    if (expected.empty()) {
        ASSERT_TRUE(opened && link.Configure() && link.Run()) << said;
        EXPECT_TRUE(link.Write('%', 100ms));
        EXPECT_EQ(device.ReadExactly(1), "%");
        device.Write("y");
        std::uint8_t byte = 0;
        EXPECT_TRUE(link.ReadByte(byte, 5s) && byte == 'y');
        return;
    }
    EXPECT_FALSE(opened);
    EXPECT_EQ(link.OpenError(), expected);
    EXPECT_EQ(said, "portlink: " + expected + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Devices, RefusalTest,
    ::testing::Values(
        RefusalRow {"UnmappedPortIsTheConsole",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &device) {
                        s.BuiltInPort("ttyS0", device, "4");
                        s.ActiveConsoles("tty0 ttyS0");
                        return std::pair {1, std::string("COM1 has no mapping, and {dev}/ttyS0 is the system console")};
                    }},
        RefusalRow {"UnmappedPortWithoutUart",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &device) {
                        s.BuiltInPort("ttyS1", device, "0");
                        return std::pair {
                            2, std::string("COM2 has no mapping, and {dev}/ttyS1 has no UART behind it (not connected)")};
                    }},
        RefusalRow {"MappedToTheConsole",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &device) {
                        s.BuiltInPort("ttyS0", device, "4");
                        s.ActiveConsoles("ttyS0");
                        s.folder.Map(3, (s.roots.dev / "ttyS0").string());
                        return std::pair {3, std::string("COM3 ({folder}/com3 -> {dev}/ttyS0) is the system console: map "
                                                         "COM3 to the card's adapter with tovrik-ports map --force 3 DEVICE")};
                    }},
        RefusalRow {"MappedToPtmx",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &) {
                        s.folder.Map(4, "/dev/ptmx");
                        return std::pair {4, std::string("COM4 ({folder}/com4 -> /dev/ptmx) stands for another terminal, "
                                                         "not a serial line: map COM4 to the card's adapter with "
                                                         "tovrik-ports map --force 4 DEVICE")};
                    }},
        // A terminal program that merely has it open takes no lock at all.
        RefusalRow {"OpenInAnotherProcess",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &device) {
                        s.folder.Map(5, device.DevicePath());
                        return std::pair {5, std::string("COM5 ({folder}/com5 -> {pty}) is in use by sleep (PID {pid})")};
                    }},
        // By its path, judged as a COM port's device and named alone.
        RefusalRow {"PathToARegularFile",
                    [](testsupport::FakeSystem &s, const testsupport::PtyPair &) {
                        testsupport::Put(s.roots.dev / "notes", "");
                        return std::pair {0, std::string("{dev}/notes is not a terminal")};
                    },
                    "{dev}/notes"},
        RefusalRow {"PathToPtmx",
                    [](testsupport::FakeSystem &, const testsupport::PtyPair &) {
                        return std::pair {0, std::string("/dev/ptmx stands for another terminal, not a serial line")};
                    },
                    "/dev/ptmx"},
        RefusalRow {"PathOpenInAnotherProcess",
                    [](testsupport::FakeSystem &, const testsupport::PtyPair &) {
                        return std::pair {0, std::string("{pty} is in use by sleep (PID {pid})")};
                    },
                    "{pty}"},
        RefusalRow {"PathToAPlainTerminalIsTaken",
                    [](testsupport::FakeSystem &, const testsupport::PtyPair &) { return std::pair {0, std::string()}; },
                    "{pty}"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace portlink
