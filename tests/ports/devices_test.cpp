// The port tool's logic over a fake /dev and /sys whose serial devices are
// links to pseudo-terminals, called directly.
#include "port_mapping.h"
#include "port_survey.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace ports;

namespace {

const std::string kById = "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5ABC-if00-port0";

// Writes `text` to `file`, or makes it a link when `text` is "-> target".
void Put(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    if (text.rfind("-> ", 0) == 0)
        fs::create_symlink(text.substr(3), file);
    else
        std::ofstream(file) << text << '\n';
}

void UsbDevice(const fs::path &dir, const std::vector<std::string> &attributes)
{
    const char *names[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
    for (std::size_t i = 0; i < attributes.size(); ++i)
        Put(dir / names[i], attributes[i]);
}

// An FTDI adapter with a stable name, a CDC modem without one, a UART, a ttyS
// with nothing behind it, and a stray attribute above /sys that must not count.
class FakeSystem : public testing::Test {
protected:
    FakeSystem()
    {
        Put(roots.dev / "ttyUSB0", "-> " + usb.DevicePath());
        Put(roots.dev / "ttyACM0", "-> " + acm.DevicePath());
        Put(roots.dev / "ttyS10", "");
        Put(roots.dev / "ttyS2", "");
        Put(roots.dev / "tty1", "");
        Put(roots.dev / kById, "-> ../../ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K5ABC"});
        Put(roots.sys / "devices/usb1/1-1/1-1:1.0/ttyUSB0/dev", "188:0");
        Put(roots.sys / "class/tty/ttyUSB0/device", "-> ../../../devices/usb1/1-1/1-1:1.0/ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-2",
                  {"0483", "5740", "STMicroelectronics", "STMicroelectronics Virtual COM Port"});
        Put(roots.sys / "devices/usb1/1-2/1-2:1.0/bInterfaceClass", "02");
        Put(roots.sys / "class/tty/ttyACM0/device", "-> ../../../devices/usb1/1-2/1-2:1.0");
        Put(roots.sys / "class/tty/ttyS10/type", "4");
        Put(roots.sys / "class/tty/ttyS2/type", "0");
        Put(roots.sys / "devices/pnp0/00:01/id", "PNP0501");
        Put(roots.sys / "class/tty/ttyS10/device", "-> ../../../devices/pnp0/00:01");
        Put(tree.Path() / "idVendor", "dead");
    }

    testsupport::TempDir tree;
    SystemRoots roots {tree.Path() / "dev", tree.Path() / "sys"};
    testsupport::PtyPair usb, acm;
    testsupport::DeviceDir folder;
};

TEST_F(FakeSystem, FindsSerialDevicesInNumberOrderWithTheirAdapters)
{
    std::vector<std::string> found;
    for (const auto &device : FindSerialDevices(roots))
        found.push_back(fs::path(device.path).filename().string() + (device.answers ? "" : " (no UART)")
                        + (device.adapter ? ", " + AdapterDetails(*device.adapter) : "")
                        + (device.stableNames.empty() ? "" : ", " + device.stableNames.front()));
    EXPECT_EQ(found, (std::vector<std::string> {
                         "ttyACM0, STMicroelectronics Virtual COM Port (0483:5740)",
                         "ttyS2 (no UART)",
                         "ttyS10",
                         "ttyUSB0, FTDI FT232R USB UART (0403:6001, serial A10K5ABC), " + (roots.dev / kById).string(),
                     }));
}

TEST_F(FakeSystem, MapsByStableNameAndDescribesEachPort)
{
    const auto mapped = MapPort(1, (roots.dev / "ttyUSB0").string(), false, roots);
    ASSERT_TRUE(mapped.ok) << mapped.message;
    EXPECT_EQ(fs::read_symlink(folder.Path() / "com1"), roots.dev / kById);
    folder.Map(2, (roots.dev / "ttyUSB0").string()); // by hand, by the name that changes
    folder.Map(3, acm.DevicePath());
    folder.Map(4, "/dev/nonexistent-tty");

    const std::vector<std::pair<int, std::string>> described = {
        {1, (roots.dev / "ttyUSB0").string() + ", FTDI FT232R USB UART"},
        {3, (roots.dev / "ttyACM0").string() + ", STMicroelectronics Virtual COM Port"},
        {4, "not connected"},
    };
    const auto devices = FindSerialDevices(roots);
    for (const auto &[port, text] : described)
        EXPECT_EQ(DescribePort(port, devices), text) << "COM" << port;

    const auto survey = TakeSurvey(roots);
    EXPECT_EQ(survey.ports[0].stableName, "");
    EXPECT_EQ(survey.ports[1].stableName, (roots.dev / kById).string());
    ASSERT_EQ(survey.unnamed.size(), 1u); // ttyS10: the others have a port or no UART
    EXPECT_EQ(survey.unnamed[0].path, (roots.dev / "ttyS10").string());
}

// Held and vanished devices are listed through the program.
TEST(ProbeDevice, TellsEachStateApart)
{
    testsupport::PtyPair free, denied;
    testsupport::TempDir dir;
    std::ofstream(dir.Path() / "file") << "x";
    chmod(denied.DevicePath().c_str(), 0);
    struct Row {
        const char *name;
        std::string device;
        DeviceState state;
    };
    std::vector<Row> rows = {
        {"free pty", free.DevicePath(), DeviceState::Ready},
        {"nothing there", (dir.Path() / "gone").string(), DeviceState::Missing},
        {"regular file", (dir.Path() / "file").string(), DeviceState::NotTerminal},
        {"character device that is no tty", "/dev/null", DeviceState::NotTerminal},
    };
    if (geteuid() != 0) // root may open any device
        rows.push_back({"no permission", denied.DevicePath(), DeviceState::NoAccess});
    for (const auto &row : rows) {
        const auto probe = ProbeDevice(row.device);
        EXPECT_EQ(StateName(probe.state), StateName(row.state)) << row.name;
        EXPECT_EQ(probe.detail.empty(), row.state != DeviceState::NoAccess) << row.name << ": what to do about it";
    }
}

} // namespace
