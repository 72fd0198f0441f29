// The port tool's logic over a fake /dev and /sys whose serial devices are
// links to pseudo-terminals, called directly.
#include "fake_system.h"
#include "port_mapping.h"
#include "port_survey.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace ports;
using testsupport::FakeSystem;
using testsupport::kById;

namespace {

TEST_F(FakeSystem, MapsByStableNameAndSurveysEachPort)
{
    const auto mapped = MapPort(1, (roots.dev / "ttyUSB0").string(), false, roots);
    ASSERT_TRUE(mapped.ok) << mapped.message;
    EXPECT_EQ(fs::read_symlink(folder.Path() / "com1"), roots.dev / kById);
    folder.Map(2, (roots.dev / "ttyUSB0").string()); // by hand, by the name that changes
    folder.Map(3, acm.DevicePath());

    const auto survey = TakeSurvey(roots);
    EXPECT_EQ(survey.ports[0].stableName, "");
    EXPECT_EQ(survey.ports[1].stableName, (roots.dev / kById).string());
    ASSERT_EQ(survey.unnamed.size(), 1u); // ttyS10: the others have a port or no UART
    EXPECT_EQ(survey.unnamed[0].path, (roots.dev / "ttyS10").string());
}

// The listing and map judge a port as the library would, on the device itself.
TEST_F(FakeSystem, ConsoleAndEmptyPortAreNoCard)
{
    testsupport::PtyPair console, empty;
    BuiltInPort("ttyS0", console, "4");
    BuiltInPort("ttyS1", empty, "0");
    ActiveConsoles("tty0 ttyS0");
    folder.Map(3, (roots.dev / "ttyS0").string());

    const std::string listing = FormatSurvey(TakeSurvey(roots));
    const std::string rows[] = {
        "COM1  " + (roots.dev / "ttyS0").string()
            + "  system console: map COM1 to the card's adapter with tovrik-ports map 1 DEVICE\n",
        "COM2  " + (roots.dev / "ttyS1").string() + "  not connected: no UART behind it\n",
        "COM3  " + (roots.dev / "ttyS0").string()
            + "  system console: map COM3 to the card's adapter with tovrik-ports map --force 3 DEVICE\n",
    };
    for (const auto &row : rows)
        EXPECT_NE(listing.find(row), std::string::npos) << row << "in:\n" << listing;

    for (const auto &[device, why] : {std::pair {"ttyS0", ": it is the system console, never a card"},
                                      std::pair {"ttyS1", ": it has no UART behind it (not connected)"}}) {
        const auto mapped = MapPort(4, (roots.dev / device).string(), false, roots);
        EXPECT_FALSE(mapped.ok);
        EXPECT_NE(mapped.message.find(why), std::string::npos) << mapped.message;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.Path() / "com4")));
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
