// The log of the card's output: exactly its bytes, appended, on disk promptly.
#include "portlink_fixture.h"

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

namespace portlink_test {
namespace {

std::uint64_t Digest(std::string_view bytes) // FNV-1a
{
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : bytes)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Runs the test body in `dir`, so that names are relative to it.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path &dir) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~ScopedCwd() { std::filesystem::current_path(old_); }
    ScopedCwd(const ScopedCwd &) = delete;
    ScopedCwd &operator=(const ScopedCwd &) = delete;

private:
    std::filesystem::path old_;
};

// Waits until the file at `path` holds `expected`.
bool Holds(const std::filesystem::path &path, const std::string &expected)
{
    return WaitUntil([&] { return ReadFile(path.string()) == expected; }, Clock::now() + 5s);
}

// Gives `link` to another user; only root may.
bool MakeForeign(const std::filesystem::path &link) { return lchown(link.c_str(), 65534, 65534) == 0; }

using LoggingTest = PortlinkTest;

TEST_F(LoggingTest, LogHoldsExactlyTheCardsBytesAfterWhatWasThere)
{
    ScopedCwd cwd(temp.Path());
    const std::string earlier = "earlier run\r\n";
    std::ofstream("card.log", std::ios::binary) << earlier;
    OpenCard();
    ASSERT_EQ(StartLogging("card.log"), 1);

    const std::string stream = RandomBytes(256 * 1024, 42);
    card.Write(stream);
    const std::string expected = earlier + stream;
    const auto deadline = Clock::now() + 10s;
    while (std::filesystem::file_size("card.log") < expected.size() && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    StopLogging();
    const std::string logged = ReadFile((temp.Path() / "card.log").string());
    EXPECT_EQ(logged.size(), expected.size());
    EXPECT_EQ(Digest(logged), Digest(expected));
}

TEST_F(LoggingTest, LogIsOnDiskWithin100ms)
{
    OpenCard();
    const std::string log = (temp.Path() / "prompt.log").string();
    ASSERT_NE(StartLogging(log.c_str()), 0);
    card.Write("OK\r\n");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ReadFile(log), "OK\r\n");
}

// Lets regular files grow to `size` bytes while it lives, SIGXFSZ ignored: a
// write that would pass the limit is cut short there, and the next one fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t size) : handler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit limit {size, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit old_ {};
    void (*handler_)(int);
};

struct FailingLog {
    const char *name;
    const char *log;         // beside the test's folder, or absolute
    const char *linkedTo;    // the log is a link to this; nullptr: none
    std::size_t room;        // bytes the file may still grow by; 0: no limit
    const char *reason;      // GetLogError's
};

void PrintTo(const FailingLog &row, std::ostream *os) { *os << row.name; }

class FailingLogTest : public PortlinkTest, public ::testing::WithParamInterface<FailingLog> {};

TEST_P(FailingLogTest, StopsLoggingAndSaysWhy)
{
    const auto &row = GetParam();
    const std::string log = row.log[0] == '/' ? row.log : (temp.Path() / row.log).string();
    const std::string earlier = "earlier\n";
    if (row.linkedTo)
        std::filesystem::create_symlink(row.linkedTo, log);
    else if (row.log[0] != '/')
        std::ofstream(log) << earlier;
    OpenCard();
    ASSERT_EQ(StartLogging(log.c_str()), 1) << "it opens; writing then fails";
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetLogError(buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], '#') << "untouched";
    {
        std::optional<FileSizeLimit> limit;
        std::optional<StderrCapture> capture; // a file, which the limit would cut short
        if (row.room)
            limit.emplace(earlier.size() + row.room);
        else
            capture.emplace();
        card.Write("0123456789\r\n"); // one write: longer than the room left
        EXPECT_TRUE(WaitUntil([] { return IsLogging() == 0; }, Clock::now() + 2s)) << "a log not being written";
        if (capture) {
            EXPECT_NE(capture->Text().find("logging to '" + log + "' stopped: " + row.reason), std::string::npos)
                << capture->Text();
        }
    }
    ASSERT_EQ(GetLogError(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, row.reason);
    if (row.room) {
        EXPECT_EQ(ReadFile(log), earlier + std::string("0123456789").substr(0, row.room)) << "what fitted is kept";
    }
    ASSERT_EQ(StartLogging((temp.Path() / "next.log").c_str()), 1);
    EXPECT_EQ(GetLogError(buffer, sizeof buffer), 0) << "a new log starts without a failure";
}

INSTANTIATE_TEST_SUITE_P(
    Logs, FailingLogTest,
    ::testing::Values(FailingLog {"FullDevice", "/dev/full", nullptr, 0, "No space left on device"},
                      FailingLog {"LinkToAFullDevice", "full.log", "/dev/full", 0, "No space left on device"},
                      FailingLog {"WriteCutShortByTheSizeLimit", "card.log", nullptr, 5, "File too large"}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadLog {
    const char *name;
    std::function<std::string(const std::filesystem::path &temp)> fileName; // empty: pass nullptr
};

class BadLogTest : public PortlinkTest, public ::testing::WithParamInterface<BadLog> {};

// Root writes anywhere, so these use names that nobody can create.
TEST_P(BadLogTest, LoggingStaysOff)
{
    const std::string good = (temp.Path() / "good.log").string();
    ASSERT_EQ(StartLogging(good.c_str()), 1);
    const std::string name = GetParam().fileName(temp.Path());
    {
        StderrCapture capture;
        EXPECT_EQ(StartLogging(GetParam().name == std::string("NullName") ? nullptr : name.c_str()), 0);
        EXPECT_NE(capture.Text().find("cannot log to"), std::string::npos) << capture.Text();
    }
    EXPECT_EQ(IsLogging(), 0);
    char buffer[255];
    EXPECT_EQ(GetLogFileName(buffer, sizeof buffer), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BadLogTest,
    ::testing::Values(BadLog {"FolderIsAFile",
                              [](const auto &temp) {
                                  std::ofstream(temp / "file") << "x";
                                  return (temp / "file" / "log.txt").string();
                              }},
                      BadLog {"NameIsAFolder", [](const auto &temp) { return temp.string(); }},
                      BadLog {"EmptyName", [](const auto &) { return std::string(); }},
                      BadLog {"NullName", [](const auto &) { return std::string(); }}),
    [](const auto &info) { return std::string(info.param.name); });

struct LinkedLog {
    const char *name;
    std::vector<bool> foreign; // each link from the log's name on: made by another user
    bool targetExists;
    bool followed;
};

class LogLinkTest : public PortlinkTest, public ::testing::WithParamInterface<LinkedLog> {};

TEST_P(LogLinkTest, AreRefusedWhenAnotherUserMadeThem)
{
    ScopedCwd cwd(temp.Path());
    const auto &row = GetParam();
    const std::string before = "someone's file\n";
    if (row.targetExists)
        std::ofstream("target.txt") << before;
    std::string next = "target.txt";
    for (std::size_t i = row.foreign.size(); i-- > 0;) {
        const std::string link = i == 0 ? "TovrikLog.txt" : "hop" + std::to_string(i);
        std::filesystem::create_symlink(next, link);
        if (row.foreign[i] && !MakeForeign(link))
            GTEST_SKIP() << "another user's link needs root";
        next = link;
    }
    OpenCard();
    {
        StderrCapture capture;
        EXPECT_EQ(StartLogging("TovrikLog.txt"), row.followed ? 1 : 0);
        EXPECT_EQ(capture.Text().find("symbolic link made by another user") != std::string::npos, !row.followed)
            << capture.Text();
    }
    EXPECT_EQ(IsLogging(), row.followed ? 1 : 0);
    if (row.followed) {
        card.Write("OK\r\n");
        EXPECT_TRUE(Holds("target.txt", (row.targetExists ? before : "") + "OK\r\n")) << ReadFile("target.txt");
    } else {
        EXPECT_EQ(std::filesystem::exists("target.txt"), row.targetExists);
        EXPECT_EQ(ReadFile("target.txt"), row.targetExists ? before : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Links, LogLinkTest,
                         ::testing::Values(LinkedLog {"Own", {false}, true, true},
                                           LinkedLog {"OwnDangling", {false}, false, true},
                                           LinkedLog {"Foreign", {true}, true, false},
                                           LinkedLog {"ForeignDangling", {true}, false, false},
                                           LinkedLog {"OwnToAForeignOne", {false, true}, true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// Links on the way to the log, in its path or in a link's target, are held
// to the rule of the log's own name.
struct PathLinks {
    const char *name;
    // Made in order: a folder (no target) or a link ("/…": below the test's
    // folder); true: then given to another user.
    std::vector<std::tuple<const char *, const char *, bool>> made;
    const char *logName;
    bool followed; // into mine/card.log
};

void PrintTo(const PathLinks &row, std::ostream *os) { *os << row.name; }

class PathLinkTest : public PortlinkTest, public ::testing::WithParamInterface<PathLinks> {};

TEST_P(PathLinkTest, AreFollowedOnlyWhenTheUserMadeThem)
{
    ScopedCwd cwd(temp.Path());
    std::filesystem::create_directory("mine");
    for (const auto &[name, target, foreign] : GetParam().made) {
        if (!target)
            std::filesystem::create_directory(name);
        else
            std::filesystem::create_symlink(target[0] == '/' ? temp.Path().string() + target : target, name);
        if (foreign && !MakeForeign(name))
            GTEST_SKIP() << "another user's link needs root";
    }
    OpenCard();
    {
        StderrCapture capture;
        EXPECT_EQ(StartLogging(GetParam().logName), GetParam().followed ? 1 : 0);
        EXPECT_EQ(capture.Text().find("made by another user") == std::string::npos, GetParam().followed);
    }
    card.Write("OK\r\n");
    if (GetParam().followed)
        EXPECT_TRUE(Holds("mine/card.log", "OK\r\n"));
    else
        EXPECT_FALSE(std::filesystem::exists("mine/card.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, PathLinkTest,
    ::testing::Values(
        PathLinks {"OwnFolderLink", {{"logs", "mine", false}}, "logs/card.log", true},
        PathLinks {"ForeignFolderLink", {{"logs", "mine", true}}, "logs/card.log", false},
        PathLinks {"ForeignLinkInTheirOwnFolder", {{"theirs", nullptr, true}, {"theirs/card.log", "../mine/card.log", true}},
                   "theirs/card.log", false},
        PathLinks {"ForeignFolderLinkToTheirOwnLink",
                   {{"theirs", nullptr, true}, {"theirs/card.log", "../mine/card.log", true}, {"logs", "theirs", true}},
                   "logs/card.log", false},
        PathLinks {"OwnLinkThroughAForeignFolderLink", {{"logs", "mine", true}, {"card.log", "logs/card.log", false}},
                   "card.log", false},
        PathLinks {"AbsoluteTargetsThroughAForeignFolderLink",
                   {{"logs", "/mine", true}, {"card.log", "/logs/card.log", false}}, "card.log", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LoggingTest, LostLogIsMadeAgainWhileTheCardIsQuiet)
{
    const auto log = temp.Path() / "quiet.log";
    OpenCard();
    const auto start = Clock::now(); // the once-a-second look starts with the logging
    ASSERT_EQ(StartLogging(log.c_str()), 1);
    ASSERT_TRUE(std::filesystem::remove(log));
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(log); }, start + 1500ms));
    EXPECT_EQ(IsLogging(), 1);
}

struct LostLog {
    const char *name;
    bool (*lose)(); // run in the log's folder; false: cannot, as this user
    bool goesOn;
};

class LostLogTest : public PortlinkTest, public ::testing::WithParamInterface<LostLog> {};

TEST_P(LostLogTest, IsMadeAgainAtItsPathOrLoggingStops)
{
    ScopedCwd cwd(temp.Path());
    const auto log = temp.Path() / "card.log";
    OpenCard();
    ASSERT_EQ(StartLogging("card.log"), 1);
    card.Write("first\r\n");
    ASSERT_TRUE(Holds(log, "first\r\n"));
    StderrCapture capture; // the path is looked at once a second, also while the card is quiet
    if (!GetParam().lose())
        GTEST_SKIP() << "another user's link needs root";
    std::this_thread::sleep_for(1100ms);
    card.Write("second\r\n");
    if (GetParam().goesOn) {
        EXPECT_TRUE(Holds(log, "second\r\n")) << ReadFile(log.string());
        EXPECT_EQ(capture.Text(), "");
    } else {
        const auto deadline = Clock::now() + 5s;
        while (IsLogging() != 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        EXPECT_NE(capture.Text().find("stopped"), std::string::npos) << capture.Text();
        EXPECT_FALSE(std::filesystem::exists(temp.Path() / "other.txt"));
    }
    EXPECT_EQ(IsLogging(), GetParam().goesOn ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Logs, LostLogTest,
                         ::testing::Values(LostLog {"Deleted", [] { return std::filesystem::remove("card.log"); }, true},
                                           LostLog {"MovedAwayAfterTheFolderChanged",
                                                    [] {
                                                        std::filesystem::rename("card.log", "card.log.1");
                                                        std::filesystem::create_directory("elsewhere");
                                                        std::filesystem::current_path("elsewhere");
                                                        return true;
                                                    },
                                                    true},
                                           LostLog {"ReplacedByAForeignLink",
                                                    [] {
                                                        std::filesystem::remove("card.log");
                                                        std::filesystem::create_symlink("other.txt", "card.log");
                                                        return MakeForeign("card.log");
                                                    },
                                                    false}),
                         [](const auto &info) { return std::string(info.param.name); });

struct NameBuffer {
    const char *name;
    std::int32_t size;
    bool written;
};

class LogFileNameTest : public PortlinkTest, public ::testing::WithParamInterface<NameBuffer> {};

TEST_P(LogFileNameTest, NeverWritesMoreThanSize)
{
    ScopedCwd cwd(temp.Path());
    ASSERT_EQ(StartLogging("TovrikLog.txt"), 1); // 13 characters
    EXPECT_EQ(IsLogging(), 1);
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    const auto size = GetParam().size;
    EXPECT_EQ(GetLogFileName(nullptr, size), 0);
    EXPECT_EQ(GetLogFileName(buffer, size) != 0, GetParam().written);
    if (GetParam().written) {
        EXPECT_STREQ(buffer, "TovrikLog.txt");
    }
    for (std::size_t i = GetParam().written ? 14 : 0; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], '#') << "byte " << i << " touched";

    StopLogging();
    EXPECT_EQ(IsLogging(), 0);
    EXPECT_EQ(GetLogFileName(buffer, 255), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogFileNameTest,
                         ::testing::Values(NameBuffer {"AsTheDialogAsks", 255, true},
                                           NameBuffer {"ExactFit", 14, true},
                                           NameBuffer {"NoRoomForTheNul", 13, false},
                                           NameBuffer {"Zero", 0, false},
                                           NameBuffer {"Negative", -1, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace portlink_test
