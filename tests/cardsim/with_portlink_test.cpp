// The card reached through the real serial-interface library, as the tool
// reaches it: found by its COM number, opened exclusively, its answers
// logged, reopened after a close, and hung up when the card ends.
#include "portlink.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace cardsimtest;
namespace fs = std::filesystem;

namespace {

bool Send(const std::string &line)
{
    for (const char c : line)
        if (!WriteToBoard(static_cast<uint8_t>(c), 150))
            return false;
    return true;
}

// Waits until `file` holds `text`.
bool WaitForText(const fs::path &file, const std::string &text, std::chrono::milliseconds limit = 5s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFile(file).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(CardThroughTheLibrary, OpensLogsReopensAndHangsUp)
{
    testsupport::DeviceDir devices;
    testsupport::TempDir files;
    const fs::path state = files.Path() / "card.json", log = files.Path() / "log.txt";
    SimProcess sim({"--com", "4", "--state", state}, files.Path());
    ASSERT_TRUE(sim.WaitForLink(devices.Path() / "com4")) << sim.Stderr();

    ::Run();
    ASSERT_TRUE(OpenCommPort(4));
    ASSERT_TRUE(ConfigureOpenComPort());
    ASSERT_TRUE(StartLogging(log.c_str()));
    ASSERT_TRUE(Send("%CL\r"));
    EXPECT_TRUE(WaitForText(log, "build: brenlock-sim")) << ReadFile(log);
    CloseCommPort();

    // A second session, as after choosing the port again in the dialog.
    ASSERT_TRUE(OpenCommPort(4)) << sim.Stdout();
    ASSERT_TRUE(ConfigureOpenComPort());
    ASSERT_TRUE(Send("%CB\r%CR0\r%CF1\r%CK0\r%CQ1\r%CE\r"));
    EXPECT_TRUE(WaitForText(log, "OK configuration applied")) << ReadFile(log);
    EXPECT_NE(ReadFile(state).find("\"on_the_fly\": true"), std::string::npos);

    // The card goes away: the library notices and refuses further bytes.
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    bool refused = false;
    for (int i = 0; i < 200 && !refused; ++i) {
        refused = !WriteToBoard('%', 10);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(refused);
    CloseCommPort();
    StopLogging();
    ::Stop();
}

} // namespace
