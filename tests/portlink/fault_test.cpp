// Opening what cannot be opened, a card that hangs up, and a library that
// must leave nothing behind.
#include "portlink_fixture.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace portlink_test {
namespace {

struct OpenFailure {
    const char *name;
    // Prepares the device folder; returns the port to open.
    std::function<int(testsupport::DeviceDir &, const std::filesystem::path &temp)> prepare;
    std::vector<std::string> said; // what the line on stderr must contain
};

class OpenFailureTest : public PortlinkTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailureTest, FailsWithOneLineNamingDeviceAndReason)
{
    const int port = GetParam().prepare(devices, temp.Path());
    std::string said;
    {
        StderrCapture capture;
        EXPECT_EQ(OpenCommPort(static_cast<int16_t>(port)), 0);
        said = capture.Text();
    }
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.rfind("portlink: ", 0), 0u) << said;
    for (const auto &part : GetParam().said)
        EXPECT_NE(said.find(part), std::string::npos) << "missing '" << part << "' in: " << said;
    // The same reason reaches a caller that has no terminal.
    char reason[512] = {};
    ASSERT_EQ(GetOpenError(reason, sizeof reason), 1);
    EXPECT_EQ("portlink: " + std::string(reason) + "\n", said);
    char cut[8] = {};
    EXPECT_EQ(GetOpenError(cut, sizeof cut), 1);
    EXPECT_EQ(std::string(cut), std::string(reason).substr(0, 7));
    EXPECT_EQ(ConfigureOpenComPort(), 0);
    EXPECT_EQ(WriteToBoard('x', 150), 0);
    EXPECT_EQ(IsSendingData(), 0);
    EXPECT_EQ(IsLineUp(), 0);

    OpenCard();
    EXPECT_EQ(GetOpenError(reason, sizeof reason), 0) << "the last open succeeded";
}

INSTANTIATE_TEST_SUITE_P(
    Devices, OpenFailureTest,
    ::testing::Values(
        OpenFailure {"AdapterUnplugged",
                     [](auto &dir, auto &) {
                         dir.Map(2, "/dev/ttyUSB-tovrik-gone");
                         return 2;
                     },
                     {"COM2", "com2 -> /dev/ttyUSB-tovrik-gone", "no such device"}},
        OpenFailure {"DanglingLink",
                     [](auto &dir, auto &) {
                         dir.Map(3, "nowhere");
                         return 3;
                     },
                     {"COM3", "com3 -> nowhere", "no such device"}},
        OpenFailure {"NoLinkAndNoBuiltInPort", [](auto &, auto &) { return 8; }, {"COM8", "/dev/ttyS7"}},
        OpenFailure {"NotASerialDevice",
                     [](auto &dir, auto &temp) {
                         std::ofstream(temp / "plain.txt") << "text";
                         dir.Map(4, (temp / "plain.txt").string());
                         return 4;
                     },
                     {"COM4", "plain.txt", "not a serial device"}},
        OpenFailure {"NameWithControlCharacters",
                     [](auto &dir, auto &) {
                         dir.Map(5, "/dev/ttyUSB\n\x1b[2Jgone");
                         return 5;
                     },
                     {"COM5", "com5 -> /dev/ttyUSB\\n\\x1b[2Jgone", "no such device"}},
        OpenFailure {"PortZero", [](auto &, auto &) { return 0; }, {"COM0", "no such port"}},
        OpenFailure {"PortNine", [](auto &, auto &) { return 9; }, {"COM9", "no such port"}},
        OpenFailure {"NegativePort", [](auto &, auto &) { return -1; }, {"COM-1", "no such port"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct Folder {
    const char *name;
    const char *xdg;     // XDG_CONFIG_HOME; nullptr: unset
    const char *linkDir; // where com1 must be, below the temporary folder
};

class DeviceFolderTest : public PortlinkTest, public ::testing::WithParamInterface<Folder> {};

// Without $PORTLINK_DEVICE_DIR, the technician's link is looked up in the
// configuration folder.
TEST_P(DeviceFolderTest, FindsTheLinkWhereTheTechnicianPutIt)
{
    const auto &root = temp.Path();
    ScopedEnv noDir("PORTLINK_DEVICE_DIR", nullptr);
    ScopedEnv home("HOME", (root / "home").c_str());
    std::string xdg; // a leading '/' puts it below the temporary folder
    if (GetParam().xdg)
        xdg = GetParam().xdg[0] == '/' ? root.string() + GetParam().xdg : GetParam().xdg;
    ScopedEnv config("XDG_CONFIG_HOME", GetParam().xdg ? xdg.c_str() : nullptr);
    std::filesystem::create_directories(root / GetParam().linkDir);
    std::filesystem::create_symlink(card.DevicePath(), root / GetParam().linkDir / "com1");

    OpenCard();
    ASSERT_NE(WriteToBoard('k', 150), 0);
    EXPECT_EQ(card.ReadExactly(1, 1s), "k");
}

INSTANTIATE_TEST_SUITE_P(
    Config, DeviceFolderTest,
    ::testing::Values(Folder {"XdgConfigHome", "/xdg", "xdg/portlink"},
                      Folder {"HomeConfig", nullptr, "home/.config/portlink"},
                      Folder {"RelativeXdgIgnored", "relative", "home/.config/portlink"}),
    [](const auto &info) { return std::string(info.param.name); });

using FaultTest = PortlinkTest;

TEST_F(FaultTest, PermissionDeniedSaysWhy)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root opens any device";
    ASSERT_EQ(chmod(card.DevicePath().c_str(), 0), 0);
    StderrCapture capture;
    EXPECT_EQ(OpenCommPort(1), 0);
    EXPECT_NE(capture.Text().find("permission denied; not even its owner"), std::string::npos) << capture.Text();
}

TEST_F(FaultTest, DeviceHeldElsewhereDoesNotOpen)
{
    // The child below opens it; this process must not keep it open meanwhile.
    testsupport::PtyPair held {testsupport::PtyPair::Slave::Unopened};
    devices.Map(1, held.DevicePath());
    // A lock taken in this process, as another program would take it.
    {
        const int other = open(held.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(other, 0);
        ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
        StderrCapture capture;
        EXPECT_EQ(OpenCommPort(1), 0);
        EXPECT_NE(capture.Text().find("in use by another program"), std::string::npos) << capture.Text();
        close(other);
    }

    // Another process that opened it through the library. Fork only while
    // this process has a single thread.
    Stop();
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char opened = OpenCommPort(1) != 0 ? '1' : '0';
        [[maybe_unused]] auto w = write(toParent[1], &opened, 1);
        char go = 0;
        [[maybe_unused]] auto r = read(toChild[0], &go, 1);
        CloseCommPort(); // as the tool does when its window closes
        _exit(0);
    }
    char opened = 0;
    ASSERT_EQ(read(toParent[0], &opened, 1), 1);
    EXPECT_EQ(opened, '1');
    {
        StderrCapture capture;
        EXPECT_EQ(OpenCommPort(1), 0) << "the child holds it";
        EXPECT_NE(capture.Text().find(") is in use by portlink_tests (PID " + std::to_string(child) + ")\n"),
                  std::string::npos)
            << capture.Text();
    }
    const char go = 'g';
    EXPECT_EQ(write(toChild[1], &go, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);

    EXPECT_NE(OpenCommPort(1), 0) << "free once the child is gone";
    // And now the library holds it against everyone else.
    const int other = open(held.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other >= 0) { // TIOCEXCL refuses the open itself unless we are root
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
        int exclusive = 0;
        ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1) << "the tty is not marked exclusive";
        close(other);
    } else {
        EXPECT_EQ(errno, EBUSY) << "refused by the exclusive flag";
    }
}

TEST_F(FaultTest, OpeningAnotherPortClosesTheFirst)
{
    testsupport::PtyPair second;
    devices.Map(2, second.DevicePath());
    OpenCard();
    card.Write("old"); // unread when the next port opens
    std::this_thread::sleep_for(100ms);
    ASSERT_NE(OpenCommPort(2), 0);
    std::uint8_t stale = 0;
    EXPECT_EQ(ReadByteFromBoard(&stale, 50), 0) << "a byte from COM1 after COM2 opened";
    const int first = open(card.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(first, 0) << "COM1 released";
    EXPECT_EQ(flock(first, LOCK_EX | LOCK_NB), 0);
    close(first);
    ASSERT_NE(WriteToBoard('2', 150), 0);
    EXPECT_EQ(second.ReadExactly(1, 1s), "2");
    EXPECT_EQ(card.ReadUntilQuiet(50ms), "");
}

TEST_F(FaultTest, CardHangingUpMidSendFailsAtOnceAndLeavesTheReaderIdle)
{
    OpenCard();
    EXPECT_EQ(IsLineUp(), 1);
    // Fill the line: the card reads nothing.
    int accepted = 0;
    while (WriteToBoard('f', 0) != 0 && accepted < 1'000'000)
        ++accepted;
    ASSERT_GT(accepted, 0);
    ASSERT_LT(accepted, 1'000'000) << "the output buffer never filled";

    // A write waiting for room sees the hang-up, not its own long limit.
    std::atomic<int16_t> result {-1};
    Clock::time_point returned {};
    std::thread writer([&] {
        result = WriteToBoard('w', 5000);
        returned = Clock::now();
    });
    std::this_thread::sleep_for(50ms);
    const auto hungUp = Clock::now();
    card.HangUp();
    writer.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_LT(returned - hungUp, 150ms);
    EXPECT_EQ(IsLineUp(), 0) << "gone, though still open";
    EXPECT_EQ(HasLostData(), 1) << "the card never read what it had been sent";

    const auto start = Clock::now();
    EXPECT_EQ(WriteToBoard('x', 150), 0);
    EXPECT_EQ(IsSendingData(), 0);
    std::uint8_t b = 0;
    EXPECT_EQ(ReadByteFromBoard(&b, 0), 0);
    EXPECT_LT(Clock::now() - start, 100ms) << "nothing waits on a dead line";

    // The reader no longer polls the hung-up descriptor.
    std::this_thread::sleep_for(50ms);
    const long before = OtherThreadsCpuTicks();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(OtherThreadsCpuTicks() - before, 2) << "a spinning reader would use about 30 ticks";

    const auto closing = Clock::now();
    CloseCommPort();
    EXPECT_LT(Clock::now() - closing, 1s);
    EXPECT_EQ(HasLostData(), 1) << "still known after the close";
}

TEST_F(FaultTest, HangUpAfterEverythingLeftLosesNothing)
{
    OpenCard();
    for (const char c : std::string("%CC\r"))
        ASSERT_NE(WriteToBoard(static_cast<uint8_t>(c), 150), 0);
    EXPECT_EQ(IsSendingData(), 0);
    EXPECT_EQ(card.ReadExactly(4, 1s), "%CC\r");
    card.HangUp();
    const auto deadline = Clock::now() + 1s;
    while (IsLineUp() != 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(IsLineUp(), 0);
    EXPECT_EQ(HasLostData(), 0);
}

// A host program may install a handler without SA_RESTART; its signals must
// not be taken for a dead line.
TEST_F(FaultTest, SignalsWhileAWriteWaitsForRoomLoseNothing)
{
    OpenCard();
    std::string sent; // the card reads nothing yet: fill the line
    for (char b = 0; sent.size() < 1'000'000 && WriteToBoard(static_cast<std::uint8_t>(b), 0) != 0; b += 7)
        sent += b;
    ASSERT_LT(sent.size(), 1'000'000u) << "the output buffer never filled";
    const std::string rest = RandomBytes(4096, 5);

    struct sigaction interrupting {}, old {};
    interrupting.sa_handler = [](int) {};
    interrupting.sa_flags = 0; // no SA_RESTART: a waiting poll returns EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &interrupting, &old), 0);
    std::atomic<int> failed {0};
    std::atomic<bool> done {false};
    std::thread writer([&] {
        for (const unsigned char b : rest)
            failed += WriteToBoard(b, 5000) == 0;
        done = true;
    });
    std::thread signaller([&, id = writer.native_handle()] {
        for (; !done; std::this_thread::sleep_for(1ms))
            pthread_kill(id, SIGUSR1);
    });
    std::this_thread::sleep_for(200ms); // the writer waits for room meanwhile
    const std::string got = card.ReadExactly(sent.size() + rest.size(), 10s);
    signaller.join(); // first: the writer's id must stay valid while it is signalled
    writer.join();
    sigaction(SIGUSR1, &old, nullptr);

    EXPECT_EQ(failed.load(), 0);
    EXPECT_TRUE(got == sent + rest) << got.size() << " of " << sent.size() + rest.size() << " bytes";
    EXPECT_EQ(HasLostData(), 0);
    EXPECT_EQ(IsLineUp(), 1);
}

TEST_F(FaultTest, CloseWakesAWriterWaitingForRoom)
{
    OpenCard();
    while (WriteToBoard('f', 0) != 0) {
    }
    std::atomic<int16_t> result {-1};
    std::thread writer([&] { result = WriteToBoard('w', 8000); });
    std::this_thread::sleep_for(300ms);
    const auto closing = Clock::now();
    CloseCommPort();
    const auto took = Clock::now() - closing;
    writer.join();
    EXPECT_EQ(result.load(), 0);
    // A pseudo-terminal reports nothing queued, so the bound is the 1 s margin.
    EXPECT_LT(took, 1500ms);
}

TEST_F(FaultTest, RunStopAndCloseAreIdempotent)
{
    const int threads = Threads();
    EXPECT_NE(::Run(), 0);
    EXPECT_EQ(Threads(), threads) << "a second Run starts no second reader";
    EXPECT_NE(Stop(), 0);
    EXPECT_NE(Stop(), 0);
    EXPECT_EQ(Threads(), threads - 1);
    EXPECT_NE(CloseCommPort(), 0);
    EXPECT_NE(CloseCommPort(), 0);
    EXPECT_NE(::Run(), 0);
    OpenCard();
    ASSERT_NE(WriteToBoard('r', 150), 0);
    EXPECT_EQ(card.ReadExactly(1, 1s), "r");
}

TEST_F(FaultTest, ThousandOpenCloseCyclesLeaveNoDescriptorOrThread)
{
    OpenCard(); // warm up whatever the process sets up once
    CloseCommPort();
    const int fds = OpenDescriptors();
    const int threads = Threads();
    std::string sent;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(OpenCommPort(1), 0) << "cycle " << i;
        ASSERT_NE(ConfigureOpenComPort(), 0);
        ASSERT_NE(WriteToBoard(static_cast<uint8_t>(i), 150), 0);
        sent += static_cast<char>(i);
        CloseCommPort();
        if (i % 10 == 0) {
            Stop();
            ASSERT_NE(::Run(), 0);
        }
    }
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_EQ(Threads(), threads);
    EXPECT_TRUE(card.ReadExactly(sent.size()) == sent) << "no byte lost across the cycles";
}

// Every buffer size gets the longest whole-character start of the reason.
TEST_F(FaultTest, OpenErrorIsNeverCutInsideACharacter)
{
    devices.Map(1, (temp.Path() / "p\xc3\xb6rt \xe2\x82\xac").string()); // "pört €", not there
    {
        StderrCapture quiet;
        ASSERT_EQ(OpenCommPort(1), 0);
    }
    char full[512] = {};
    ASSERT_EQ(GetOpenError(full, sizeof full), 1);
    const std::string reason = full;
    ASSERT_NE(reason.find("p\xc3\xb6rt \xe2\x82\xac"), std::string::npos) << reason;
    for (std::size_t size = 1; size <= reason.size() + 1; ++size) {
        std::vector<char> buffer(size, '#');
        ASSERT_EQ(GetOpenError(buffer.data(), static_cast<int32_t>(size)), 1);
        const std::string got(buffer.data());
        ASSERT_EQ(reason.compare(0, got.size(), got), 0) << "size " << size;
        const bool whole = got.size() == reason.size() || (static_cast<unsigned char>(reason[got.size()]) & 0xC0) != 0x80;
        EXPECT_TRUE(whole) << "cut inside a character at size " << size;
        EXPECT_GE(got.size() + 3, size - 1) << "cut shorter than it needs at size " << size;
    }
}

// A user thread calling every export while the card talks and the reader
// logs: every byte the library took reaches the card, in order, and no
// other (the ThreadSanitizer build also sees the races, if any).
TEST_F(FaultTest, ExportsFromAUserThreadWhileTheReaderRuns)
{
    OpenCard();
    const std::string log = (temp.Path() / "busy.log").string();
    std::atomic<bool> done {false};
    std::thread talker([&] {
        while (!done)
            card.Write(RandomBytes(512, 3));
    });
    std::string arrived;
    std::thread drainer([&] {
        while (!done)
            arrived += card.ReadUntilQuiet(5ms, 20ms);
    });
    std::string accepted;
    std::thread user([&] {
        char name[64];
        std::uint8_t b = 0;
        for (int i = 0; i < 300; ++i) {
            if (WriteToBoard(static_cast<uint8_t>(i), 10) != 0)
                accepted += static_cast<char>(i);
            IsSendingData();
            ReadByteFromBoard(&b, 0);
            if (i % 7 == 0)
                StartLogging(log.c_str());
            GetLogFileName(name, sizeof name);
            if (i % 11 == 0)
                StopLogging();
            if (i % 50 == 0) {
                CloseCommPort();
                OpenCommPort(1);
                ConfigureOpenComPort();
            }
            IsLogging();
        }
    });
    user.join();
    done = true;
    talker.join();
    drainer.join();
    arrived += card.ReadUntilQuiet(100ms, 2s);
    EXPECT_GT(accepted.size(), 250u) << "the library refused most bytes";
    EXPECT_EQ(Hex(arrived), Hex(accepted));
}

} // namespace
} // namespace portlink_test
