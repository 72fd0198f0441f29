// Bytes through the real library and a pseudo-terminal, both ways.
#include "portlink_fixture.h"

#include "board_link.h"
#include "fakes.h"
#include "gateway_commands.h"
#include "library_loader.h"

#include <termios.h>

#include <functional>
#include <thread>

namespace portlink_test {
namespace {

struct CommandCase {
    const char *name;
    std::function<bool(GatewayCommands &)> send;
    const char *bytes;
};

class CommandBytesTest : public PortlinkTest, public ::testing::WithParamInterface<CommandCase> {};

// The tool's whole path: loaded by name, board link, command sender.
TEST_P(CommandBytesTest, ArriveExactlyAsTheCardExpects)
{
    auto loaded = LoadSerialLibrary();
    ASSERT_EQ(loaded.error, "");
    BoardLink link(*loaded.library);
    GatewayCommands commands(link);
    ASSERT_TRUE(link.SelectComPort(1).open);

    EXPECT_TRUE(GetParam().send(commands));
    const std::string expected = GetParam().bytes;
    const std::size_t count = (expected.size() + 1) / 3; // "25 43 45" is three bytes
    EXPECT_EQ(Hex(card.ReadExactly(count, 2s)), expected);
    EXPECT_EQ(card.ReadUntilQuiet(50ms), "") << "nothing more";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandBytesTest,
    ::testing::Values(
        CommandCase {"IPAddress", [](GatewayCommands &c) { return c.SendLines({gateway::IPAddressLine("10.0.0.5")}); },
                     "25 43 49 31 30 2E 30 2E 30 2E 35 0D 79"},
        CommandCase {"DHCPOn", [](GatewayCommands &c) { return c.SendLines({gateway::DHCPFlagLine(true)}); }, "25 43 50 31 0D"},
        CommandCase {"EndConfig", [](GatewayCommands &c) { return c.SendLines({gateway::EndConfigLine()}); }, "25 43 45 0D"}),
    [](const auto &info) { return std::string(info.param.name); });

using TransferTest = PortlinkTest;

TEST_F(TransferTest, AllByteValuesPassUnchangedBothWays)
{
    OpenCard();
    const std::string all = AllByteValues();
    for (const unsigned char b : all)
        ASSERT_NE(WriteToBoard(b, 150), 0);
    EXPECT_EQ(Hex(card.ReadExactly(all.size())), Hex(all));

    card.Write(all);
    std::string got;
    std::uint8_t b = 0;
    while (got.size() < all.size() && ReadByteFromBoard(&b, 1000))
        got += static_cast<char>(b);
    EXPECT_EQ(Hex(got), Hex(all));
}

TEST_F(TransferTest, BytesWrittenBeforeCloseAllArriveInOrder)
{
    OpenCard();
    const std::string sent = RandomBytes(8000, 7);
    for (const unsigned char b : sent)
        ASSERT_NE(WriteToBoard(b, 150), 0);
    CloseCommPort();
    EXPECT_TRUE(card.ReadExactly(sent.size()) == sent);
    EXPECT_EQ(WriteToBoard('x', 150), 0) << "closed";
}

TEST_F(TransferTest, ConfigureMakesTheLineRaw9600WithoutFlowControl)
{
    EXPECT_EQ(ConfigureOpenComPort(), 0) << "nothing open";
    // Leave the line cooked, as a terminal would have it.
    termios t {};
    ASSERT_EQ(tcgetattr(card.CardFd(), &t), 0);
    t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    t.c_iflag |= ICRNL | IXON | IXOFF;
    t.c_oflag |= OPOST | ONLCR;
    t.c_cflag |= CSTOPB | CRTSCTS;
    cfsetospeed(&t, B38400);
    cfsetispeed(&t, B38400);
    ASSERT_EQ(tcsetattr(card.CardFd(), TCSANOW, &t), 0);

    OpenCard();
    ASSERT_EQ(tcgetattr(card.CardFd(), &t), 0); // the pty master reports its slave's settings
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
}

TEST_F(TransferTest, ReadQueueKeepsTheNewest64KiB)
{
    OpenCard();
    // The log shows when the reader has taken everything off the line.
    const std::string log = (temp.Path() / "card.log").string();
    ASSERT_NE(StartLogging(log.c_str()), 0);
    const std::string sent = RandomBytes(70000, 11);
    card.Write(sent);
    const auto deadline = Clock::now() + 5s;
    while (ReadFile(log).size() < sent.size() && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);

    std::string got;
    std::uint8_t b = 0;
    while (ReadByteFromBoard(&b, 0))
        got += static_cast<char>(b);
    EXPECT_EQ(got.size(), 65536u);
    EXPECT_TRUE(got == sent.substr(sent.size() - 65536)) << "the oldest bytes make room";
}

TEST_F(TransferTest, ReadByteFromBoardWaitsNoLongerThanAsked)
{
    std::uint8_t b = 0;
    EXPECT_EQ(ReadByteFromBoard(nullptr, 10), 0);
    OpenCard();
    const auto start = Clock::now();
    EXPECT_EQ(ReadByteFromBoard(&b, 50), 0);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 45ms);
    EXPECT_LT(took, 500ms);
    card.Write("A");
    EXPECT_EQ(ReadByteFromBoard(&b, 1000), 1);
    EXPECT_EQ(b, 'A');
}

} // namespace
} // namespace portlink_test
