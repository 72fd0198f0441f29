// The board link's port rules, the command lines' sender, the send run and
// the card watch, on a recording library.
#include "board_link.h"
#include "card_watch.h"
#include "fakes.h"
#include "gateway_commands.h"
#include "send_run.h"

#include <gtest/gtest.h>

namespace {

using testsupport::FakeSerialLibrary;

struct Link : testing::Test {
    FakeSerialLibrary library;
    BoardLink link {library};
    GatewayCommands commands {link};

    void Open(int port = 1)
    {
        library.openablePorts.insert(port);
        ASSERT_TRUE(link.SelectComPort(static_cast<std::int16_t>(port)).open);
        ASSERT_TRUE(link.IsPortOpen());
        library.calls.clear();
    }
};

TEST_F(Link, SamePortWhileOpenMakesNoCall)
{
    Open(1);
    EXPECT_TRUE(link.SelectComPort(1).open);
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(Link, SamePortWhileClosedOpensAgainAndReportsEachFailure)
{
    library.openablePorts.clear();
    EXPECT_FALSE(link.SelectComPort(3).open);
    EXPECT_FALSE(link.SelectComPort(3).open);
    EXPECT_EQ(library.calls, (std::vector<std::string> {"OpenCommPort 3", "OpenCommPort 3"}));
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(link.GetComPort(), 3);
}

TEST_F(Link, OpenFailureGivesTheLibrarysReason)
{
    library.openablePorts.clear();
    library.openError = "cannot open COM3 (/dev/ttyS2): no such device (is the adapter plugged in?)";
    EXPECT_EQ(link.SelectComPort(3).why, library.openError);
    library.openError = "/dev/ttyUSB9 is in use by screen (PID 4242)";
    EXPECT_EQ(link.SelectDevice("/dev/ttyUSB9").why, library.openError);
}

// A device left at other line settings would garble every byte.
TEST_F(Link, PortThatRefusesItsLineSettingsIsClosedAndSaysWhy)
{
    library.configureFails = true;
    library.openError = "cannot configure COM1 (/dev/ttyS0): the device refused 9600 baud";
    const auto opening = link.SelectComPort(1);
    EXPECT_FALSE(opening.open);
    EXPECT_EQ(opening.why, library.openError);
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(library.calls, (std::vector<std::string> {"OpenCommPort 1", "ConfigureOpenComPort", "CloseCommPort"}));
}

// The card that went away is looked for as the library knows it, never
// opened by name: that name may now be another device.
TEST_F(Link, AwaitedCardIsReopenedOnlyAsTheSameDevice)
{
    Open(1);
    library.HangUp();
    EXPECT_TRUE(link.IsPortOpen()) << "until the lost line is noticed";
    link.NoticeLostLine();
    EXPECT_FALSE(link.IsPortOpen());
    library.sameDevice = false;
    EXPECT_FALSE(link.TryReopen());
    library.sameDevice = true;
    library.configureFails = true;
    EXPECT_FALSE(link.TryReopen());
    library.configureFails = false;
    EXPECT_TRUE(link.TryReopen());
    EXPECT_EQ(library.calls, (std::vector<std::string> {"CloseCommPort", "ReopenCommPort", "ReopenCommPort",
                                                        "ConfigureOpenComPort", "CloseCommPort", "ReopenCommPort",
                                                        "ConfigureOpenComPort"}));
    EXPECT_TRUE(link.IsPortOpen() && !link.IsAwaitingCard());
}

TEST_F(Link, NewPortWhileClosedOpensWithoutClosing)
{
    library.openablePorts.clear();
    (void)link.SelectComPort(1);
    library.calls.clear();
    library.openablePorts = {2};
    EXPECT_TRUE(link.SelectComPort(2).open);
    EXPECT_EQ(library.calls, (std::vector<std::string> {"OpenCommPort 2", "ConfigureOpenComPort"}));
    EXPECT_TRUE(link.IsPortOpen());
}

TEST_F(Link, NewPortWhileOpenClosesFirst)
{
    Open(1);
    EXPECT_FALSE(link.SelectComPort(4).open); // not openable
    EXPECT_EQ(library.calls, (std::vector<std::string> {"CloseCommPort", "OpenCommPort 4"}));
    EXPECT_FALSE(link.IsPortOpen());

    // A device by its path is a choice of its own, beside COM n.
    Open(1);
    library.openableDevices = {"/dev/ttyUSB1"};
    EXPECT_TRUE(link.SelectDevice("/dev/ttyUSB1").open);
    EXPECT_TRUE(link.SelectDevice("/dev/ttyUSB1").open);
    EXPECT_FALSE(link.SelectComPort(4).open);
    EXPECT_EQ(library.calls, (std::vector<std::string> {"CloseCommPort", "OpenCommDevice /dev/ttyUSB1",
                                                        "ConfigureOpenComPort", "CloseCommPort", "OpenCommPort 4"}));
}

TEST_F(Link, WriteFailingOnSecondByteStopsTheLine)
{
    Open();
    library.failWriteAt = 1;
    EXPECT_FALSE(link.SendToGateway("%CE\r"));
    EXPECT_EQ(library.writeCalls, 2);
    EXPECT_TRUE(link.IsPortOpen()); // the port stays open
}

TEST_F(Link, EmptyLineMakesNoCall)
{
    Open();
    EXPECT_TRUE(link.SendToGateway(""));
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(Link, SenderWritesNothingWhileClosed)
{
    library.openablePorts.clear();
    (void)link.SelectComPort(1);
    library.calls.clear();
    using namespace gateway;
    EXPECT_TRUE(commands.SendLines({BeginConfigLine(), IPAddressLine("1.2.3.4"), NBXMacLine("aa:bb:cc:dd:ee:ff")}));
    EXPECT_TRUE(commands.SendLines({ClearConfigLine()}));
    EXPECT_TRUE(commands.SendLines({LogConfigLine()}));
    EXPECT_TRUE(library.calls.empty());
}

// A line cut short must not be followed by the rest of the configuration.
TEST_F(Link, SenderStopsAtTheFailedLine)
{
    Open();
    library.failWriteAt = 5; // inside "%CI…"
    using namespace gateway;
    EXPECT_FALSE(commands.SendLines({IPAddressLine("10.0.0.5"), SubnetLine("255.255.255.0"), GatewayLine("10.0.0.1")}));
    EXPECT_EQ(library.written, "%CI10");
}

// What a send came to: a refused byte first, then bytes a failing line dropped.
TEST_F(Link, SendRunEndsAsItHappened)
{
    Open();
    SendRun run(link, commands);
    library.sendingAnswers = {true, false};
    ASSERT_TRUE(run.Begin({"%CB\r", "%CE\r"}));
    EXPECT_TRUE(run.Sending());
    EXPECT_FALSE(run.Sending());
    EXPECT_EQ(run.End(), SendEnd::Sent);
    library.HangUp();
    EXPECT_EQ(run.End(), SendEnd::Sent) << "every byte had left before the line went";

    Open();
    library.sendingAnswers = {true};
    ASSERT_TRUE(run.Begin({"%CB\r", "%CE\r"}));
    EXPECT_TRUE(run.Sending());
    library.HangUp();
    EXPECT_EQ(run.End(), SendEnd::LineLost);

    Open();
    library.failWriteAt = library.writeCalls + 1;
    EXPECT_FALSE(run.Begin({"%CB\r", "%CE\r"}));
    EXPECT_EQ(library.written, "%CB\r%CE\r%CB\r%CE\r%");
    EXPECT_EQ(run.End(), SendEnd::WriteFailed);
}

TEST_F(Link, CardWatchAwaitsTheLostCardUntilItIsBack)
{
    Open(1);
    CardWatch watch(link);
    EXPECT_EQ(watch.Tick().event, CardEvent::None);
    library.HangUp();
    library.sameDevice = false;
    const auto lost = watch.Tick();
    EXPECT_EQ(lost.event, CardEvent::Lost);
    EXPECT_EQ(lost.port, 1);
    EXPECT_EQ(watch.Tick().event, CardEvent::None);
    library.sameDevice = true;
    const auto back = watch.Tick();
    EXPECT_EQ(back.event, CardEvent::Back);
    EXPECT_EQ(back.port, 1);
    EXPECT_EQ(library.Count("ReopenCommPort"), 2);
}

// A port chosen in the dialog while waiting ends the wait, opened or not.
TEST_F(Link, CardWatchEndsWhenAnotherPortIsChosen)
{
    Open(1);
    CardWatch watch(link);
    library.HangUp();
    ASSERT_EQ(watch.Tick().event, CardEvent::Lost);
    EXPECT_FALSE(link.SelectComPort(3).open);
    EXPECT_EQ(watch.Tick().event, CardEvent::Abandoned);
    EXPECT_EQ(watch.Tick().event, CardEvent::None);
    EXPECT_EQ(library.Count("ReopenCommPort"), 0);
}

} // namespace
