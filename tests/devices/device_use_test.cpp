// Whether an opened device may be the card: consoles by number and by the
// kernel's list, built-in ports without a UART, and other processes that
// have it open, over a fake /sys and /proc and real pseudo-terminals.
#include "device_use.h"
#include "fake_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>

namespace fs = std::filesystem;
using testsupport::FakeSystem;
using testsupport::PtyPair;

namespace {

struct UnfitRow {
    const char *name;
    // Lays out sysfs around `opened`, the pty that is then opened, and `other`.
    std::function<void(FakeSystem &, const PtyPair &opened, const PtyPair &other)> prepare;
    devices::Unfit unfit;
};

void PrintTo(const UnfitRow &row, std::ostream *os) { *os << row.name; }

class UnfitTest : public FakeSystem, public testing::WithParamInterface<UnfitRow> {};

TEST_P(UnfitTest, JudgedOnTheOpenedDevice)
{
    PtyPair opened, other;
    GetParam().prepare(*this, opened, other);
    const int fd = ::open(opened.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(devices::UnfitForCard(fd, roots), GetParam().unfit);
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnfitTest,
    testing::Values(
        UnfitRow {"KernelConsole",
                  [](FakeSystem &s, const PtyPair &opened, const PtyPair &) {
                      s.BuiltInPort("ttyS0", opened, "4");
                      s.ActiveConsoles("tty0 ttyS0");
                  },
                  devices::Unfit::Console},
        UnfitRow {"AnotherDeviceIsTheConsole",
                  [](FakeSystem &s, const PtyPair &, const PtyPair &other) {
                      s.BuiltInPort("ttyS0", other, "4");
                      s.ActiveConsoles("tty0 ttyS0");
                  },
                  devices::Unfit::None},
        UnfitRow {"BuiltInPortWithoutUart",
                  [](FakeSystem &s, const PtyPair &opened, const PtyPair &) { s.BuiltInPort("ttyS1", opened, "0"); },
                  devices::Unfit::NoUart},
        UnfitRow {"BuiltInPortWithUart",
                  [](FakeSystem &s, const PtyPair &opened, const PtyPair &) { s.BuiltInPort("ttyS1", opened, "4"); },
                  devices::Unfit::None}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(UnfitByNumber, TheSystemsOwnTerminals)
{
    const devices::SystemRoots nowhere {"/nonexistent", "/nonexistent", "/nonexistent"};
    const struct {
        unsigned major, minor;
        devices::Unfit unfit;
    } rows[] = {
        {5, 0, devices::Unfit::OtherTerminal}, // /dev/tty
        {5, 1, devices::Unfit::Console},       // /dev/console
        {5, 2, devices::Unfit::OtherTerminal}, // /dev/ptmx
        {4, 0, devices::Unfit::Console},       // tty0
        {4, 63, devices::Unfit::Console},      // tty63
        {4, 64, devices::Unfit::None},         // ttyS0, a console only when listed
        {188, 0, devices::Unfit::None},        // ttyUSB0
    };
    for (const auto &row : rows)
        EXPECT_EQ(devices::UnfitByNumber(makedev(row.major, row.minor), nowhere), row.unfit)
            << row.major << ":" << row.minor;
}

dev_t NumberOf(const std::string &device)
{
    struct stat st {};
    EXPECT_EQ(::stat(device.c_str(), &st), 0) << device;
    return st.st_rdev;
}

// This process keeps `usb` open, which does not count; a real process that
// holds `acm` and a fake /proc entry that holds `usb` do.
TEST_F(FakeSystem, FindsAnotherProcessThatHasItOpen)
{
    EXPECT_FALSE(devices::FindHolder(NumberOf(usb.DevicePath()), roots)) << "this process itself";

    const testsupport::DeviceHolder sleeper(acm.DevicePath());
    const auto found = devices::FindHolder(NumberOf(acm.DevicePath()), roots);
    ASSERT_TRUE(found);
    EXPECT_EQ(devices::HolderName(*found), "sleep (PID " + std::to_string(sleeper.Pid()) + ")");

    roots.proc = tree.Path() / "proc";
    testsupport::Put(roots.proc / "4242/comm", "screen");
    testsupport::Put(roots.proc / "4242/fd/0", "-> /dev/null");
    testsupport::Put(roots.proc / "4242/fd/3", "-> " + usb.DevicePath());
    const auto faked = devices::FindHolder(NumberOf(usb.DevicePath()), roots);
    ASSERT_TRUE(faked);
    EXPECT_EQ(devices::HolderName(*faked), "screen (PID 4242)");
}

} // namespace
