// The serial devices present, their adapters and what each COM port is, over
// a fake /dev and /sys.
#include "fake_system.h"
#include "serial_devices.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::FakeSystem;
using testsupport::kById;

namespace {

TEST_F(FakeSystem, FindsSerialDevicesInNumberOrderWithTheirAdapters)
{
    std::vector<std::string> found;
    for (const auto &device : devices::FindSerialDevices(roots))
        found.push_back(fs::path(device.path).filename().string() + (device.answers ? "" : " (no UART)")
                        + (device.adapter ? ", " + devices::AdapterDetails(*device.adapter) : "")
                        + (device.stableNames.empty() ? "" : ", " + device.stableNames.front()));
    EXPECT_EQ(found, (std::vector<std::string> {
                         "ttyACM0, STMicroelectronics Virtual COM Port (0483:5740)",
                         "ttyS2 (no UART)",
                         "ttyS10",
                         "ttyUSB0, FTDI FT232R USB UART (0403:6001, serial A10K5ABC), " + (roots.dev / kById).string(),
                     }));
}

TEST_F(FakeSystem, DescribesEachPort)
{
    folder.Map(1, (roots.dev / kById).string());
    folder.Map(3, acm.DevicePath());
    folder.Map(4, "/dev/nonexistent-tty");
    testsupport::PtyPair empty; // a terminal all the same
    BuiltInPort("ttyS1", empty, "0");
    folder.Map(5, (roots.dev / "ttyS1").string());

    const std::vector<std::pair<int, std::string>> described = {
        {1, (roots.dev / "ttyUSB0").string() + ", FTDI FT232R USB UART"},
        {3, (roots.dev / "ttyACM0").string() + ", STMicroelectronics Virtual COM Port"},
        {4, "not connected"},
        {5, "not connected"}, // no UART behind it
    };
    const auto present = devices::FindSerialDevices(roots);
    for (const auto &[port, text] : described)
        EXPECT_EQ(devices::DescribePort(port, present), text) << "COM" << port;
}

} // namespace
