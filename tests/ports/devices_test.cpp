// The port tool's logic over a fake /dev and /sys whose serial devices are
// links to pseudo-terminals, called directly.
#include "port_mapping.h"
#include "port_survey.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace ports;

namespace {

const std::string kById = "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5ABC-if00-port0";

void Write(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
}

void Link(const fs::path &link, const fs::path &target)
{
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

void UsbDevice(const fs::path &dir, const std::vector<std::string> &attributes)
{
    const char *names[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
    for (std::size_t i = 0; i < attributes.size(); ++i)
        Write(dir / names[i], attributes[i]);
}

// An FTDI adapter with a stable name, a CDC modem without one, a UART, a ttyS
// with nothing behind it, and a stray attribute above /sys that must not count.
class FakeSystem : public testing::Test {
protected:
    FakeSystem()
    {
        Link(roots.dev / "ttyUSB0", usb.devicePath());
        Link(roots.dev / "ttyACM0", acm.devicePath());
        Write(roots.dev / "ttyS10", "");
        Write(roots.dev / "ttyS2", "");
        Write(roots.dev / "tty1", "");
        Link(roots.dev / kById, "../../ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K5ABC"});
        Link(roots.sys / "class/tty/ttyUSB0/device", "../../../devices/usb1/1-1/1-1:1.0/ttyUSB0");
        fs::create_directories(roots.sys / "devices/usb1/1-1/1-1:1.0/ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-2",
                  {"0483", "5740", "STMicroelectronics", "STMicroelectronics Virtual COM Port"});
        Link(roots.sys / "class/tty/ttyACM0/device", "../../../devices/usb1/1-2/1-2:1.0");
        fs::create_directories(roots.sys / "devices/usb1/1-2/1-2:1.0");
        Write(roots.sys / "class/tty/ttyS10/type", "4");
        Write(roots.sys / "class/tty/ttyS2/type", "0");
        Link(roots.sys / "class/tty/ttyS10/device", "../../../devices/pnp0/00:01");
        fs::create_directories(roots.sys / "devices/pnp0/00:01");
        Write(tree.path() / "idVendor", "dead");
    }

    testsupport::TempDir tree;
    SystemRoots roots {tree.path() / "dev", tree.path() / "sys"};
    testsupport::PtyPair usb, acm;
    testsupport::DeviceDir folder;
};

TEST_F(FakeSystem, FindsSerialDevicesInNumberOrderWithTheirAdapters)
{
    struct Expected {
        std::string name;
        bool answers;
        std::string adapter;
        std::vector<std::string> stableNames;
    };
    const std::vector<Expected> expected = {
        {"ttyACM0", true, "STMicroelectronics Virtual COM Port (0483:5740)", {}},
        {"ttyS2", false, "", {}},
        {"ttyS10", true, "", {}},
        {"ttyUSB0", true, "FTDI FT232R USB UART (0403:6001, serial A10K5ABC)", {(roots.dev / kById).string()}},
    };
    const auto devices = FindSerialDevices(roots);
    ASSERT_EQ(devices.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(devices[i].path, (roots.dev / expected[i].name).string());
        EXPECT_EQ(devices[i].answers, expected[i].answers);
        EXPECT_EQ(devices[i].adapter ? AdapterDetails(*devices[i].adapter) : "", expected[i].adapter);
        EXPECT_EQ(devices[i].stableNames, expected[i].stableNames);
    }
}

TEST_F(FakeSystem, MapsByStableNameAndDescribesEachPort)
{
    const auto mapped = MapPort(1, (roots.dev / "ttyUSB0").string(), false, roots);
    ASSERT_TRUE(mapped.ok) << mapped.message;
    EXPECT_EQ(fs::read_symlink(folder.path() / "com1"), roots.dev / kById);
    folder.map(2, (roots.dev / "ttyUSB0").string()); // by hand, by the name that changes
    folder.map(3, acm.devicePath());
    folder.map(4, "/dev/nonexistent-tty");

    const std::vector<std::pair<int, std::string>> described = {
        {1, (roots.dev / "ttyUSB0").string() + ", FTDI FT232R USB UART"},
        {3, (roots.dev / "ttyACM0").string() + ", STMicroelectronics Virtual COM Port"},
        {4, "not connected"},
    };
    for (const auto &[port, text] : described)
        EXPECT_EQ(DescribePort(port, roots), text) << "COM" << port;

    const auto survey = TakeSurvey(roots);
    EXPECT_EQ(survey.ports[0].stableName, "");
    EXPECT_EQ(survey.ports[1].stableName, (roots.dev / kById).string());
    ASSERT_EQ(survey.unnamed.size(), 1u); // ttyS10: the others have a port or no UART
    EXPECT_EQ(survey.unnamed[0].path, (roots.dev / "ttyS10").string());
}

TEST(ProbeDevice, TellsEachStateApart)
{
    testsupport::PtyPair free, locked, closed, denied;
    testsupport::TempDir dir;
    const int lockFd = open(locked.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(lockFd, LOCK_EX), 0);
    std::ofstream(dir.path() / "file") << "x";
    const std::string gone = closed.devicePath();
    closed.hangUp();
    chmod(denied.devicePath().c_str(), 0);
    struct Row {
        const char *name;
        std::string device;
        DeviceState state;
        bool advised = false;
    };
    std::vector<Row> rows = {
        {"free pty", free.devicePath(), DeviceState::Ready},
        {"locked by another open", locked.devicePath(), DeviceState::Busy},
        {"hung-up pty", gone, DeviceState::Missing},
        {"regular file", (dir.path() / "file").string(), DeviceState::NotTerminal},
        {"character device that is no tty", "/dev/null", DeviceState::NotTerminal},
    };
    if (geteuid() != 0) // root may open any device
        rows.push_back({"no permission", denied.devicePath(), DeviceState::NoAccess, true});
    for (const auto &row : rows) {
        const auto probe = ProbeDevice(row.device);
        EXPECT_EQ(StateName(probe.state), StateName(row.state)) << row.name;
        if (row.advised) {
            EXPECT_NE(probe.detail, "") << row.name << ": what to do about it";
        }
    }
    close(lockFd);
}

} // namespace
