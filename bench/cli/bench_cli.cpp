// tovrik-cli from a script's point of view: from just before the process is
// spawned to the last byte of the longest configuration read on the card's
// side of a pseudo-terminal, beside the time those bytes take on a real line
// at 9600 baud. A pseudo-terminal has no baud rate and the library does not
// pace its writes, so the difference is what the program itself costs.
#include "pty_pair.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// 8N1: a start bit, eight data bits and a stop bit a byte.
constexpr double kLineBytesPerSecond = 9600.0 / 10;

// Every row filled, both NBX questions and both checks on, a country, and
// octets of three digits: the most the window ever sends for that protocol.
std::vector<std::string> LongestAnswers(const std::string &protocol)
{
    return {"--protocol", protocol,          "--dhcp",      "no",
            "--several-nbx", "yes",          "--remote-nbx", "yes",
            "--ip",       "192.168.100.200", "--subnet",    "255.255.255.240",
            "--gateway",  "192.168.100.254", "--nbx-ip",    "192.168.101.200",
            "--nbx-mac",  "00:A0:24:1B:2C:3D", "--country", "United Kingdom",
            "--remember-audio", "yes",       "--boost-audio", "yes"};
}

// Spawns tovrik-cli with `args`, standard input and error on /dev/null and
// standard output into `out` when given; the process id, or nothing.
std::optional<pid_t> Spawn(const std::vector<std::string> &args, int out = -1, const char *terminal = nullptr)
{
    std::vector<char *> argv {const_cast<char *>(TOVRIK_CLI)};
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminal ? terminal : "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, terminal ? terminal : "/dev/null", O_WRONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, TOVRIK_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? std::optional(pid) : std::nullopt;
}

// The exit status, or -1 when it did not exit normally.
int Reap(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The bytes the card must receive: what --dry-run prints, with its \r
// turned back into carriage returns and its newlines dropped.
std::optional<std::string> ExpectedBytes(const std::vector<std::string> &answers)
{
    std::vector<std::string> args {"configure", "--dry-run"};
    args.insert(args.end(), answers.begin(), answers.end());
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return std::nullopt;
    const auto pid = Spawn(args, pipeFds[1]);
    close(pipeFds[1]);
    std::string printed;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    if (!pid || Reap(*pid) != 0)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (printed.compare(i, 2, "\\r") == 0) {
            bytes += '\r';
            ++i;
        } else if (printed[i] != '\n') {
            bytes += printed[i];
        }
    }
    return bytes;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void SpawnToLastByte(benchmark::State &state, const std::string &protocol)
{
    const auto answers = LongestAnswers(protocol);
    const auto expected = ExpectedBytes(answers);
    if (!expected) {
        state.SkipWithError("tovrik-cli --dry-run failed: build it first");
        return;
    }
    std::vector<std::string> args {"configure", "--yes"};
    args.insert(args.end(), answers.begin(), answers.end());

    testsupport::DeviceDir devices;
    std::vector<double> toFirstByte, toLastByte, toExit;
    for (auto _ : state) {
        // A fresh line each run: nothing a previous run left in it counts.
        testsupport::PtyPair card {testsupport::PtyPair::Slave::Unopened}; // tovrik-cli opens it
        devices.Map(1, card.DevicePath());

        const auto start = Clock::now();
        const auto pid = Spawn(args);
        if (!pid) {
            state.SkipWithError("cannot spawn tovrik-cli");
            break;
        }
        std::string received;
        auto firstByte = start, lastByte = start;
        while (received.size() < expected->size()) {
            pollfd p {card.CardFd(), POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = read(card.CardFd(), buffer, sizeof buffer);
            if (n <= 0)
                break;
            lastByte = Clock::now();
            if (received.empty())
                firstByte = lastByte;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        const int status = Reap(*pid);
        const auto exited = Clock::now();
        if (status != 0 || received != *expected) {
            state.SkipWithError(("tovrik-cli exited with " + std::to_string(status) + " after "
                                 + std::to_string(received.size()) + " of " + std::to_string(expected->size())
                                 + " bytes, or sent other bytes")
                                    .c_str());
            break;
        }
        toFirstByte.push_back(Ms(firstByte - start));
        toLastByte.push_back(Ms(lastByte - start));
        toExit.push_back(Ms(exited - start));
        state.SetIterationTime(toLastByte.back() / 1000);
    }
    if (toLastByte.empty())
        return;
    std::sort(toFirstByte.begin(), toFirstByte.end());
    std::sort(toLastByte.begin(), toLastByte.end());
    std::sort(toExit.begin(), toExit.end());
    const double lineMs = static_cast<double>(expected->size()) / kLineBytesPerSecond * 1000;
    const double median = toLastByte[toLastByte.size() / 2];
    state.counters["bytes"] = static_cast<double>(expected->size());
    state.counters["line_ms"] = lineMs;
    state.counters["median_ms"] = median;
    state.counters["worst_ms"] = toLastByte.back();
    state.counters["median_over_line_ms"] = median - lineMs;
    state.counters["worst_over_line_ms"] = toLastByte.back() - lineMs;
    state.counters["exit_median_ms"] = toExit[toExit.size() / 2];
    // On a real line the bytes leave at its rate from the first on: start-up
    // plus the line time is what a card would see.
    state.counters["first_byte_median_ms"] = toFirstByte[toFirstByte.size() / 2];
}

BENCHMARK_CAPTURE(SpawnToLastByte, StandardIP, std::string("standard"))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
// IP On the Fly adds its %CF line: the longest of all.
BENCHMARK_CAPTURE(SpawnToLastByte, OnTheFly, std::string("onthefly"))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// Reads `fd` until `text` has come, keeping what came after it; false after
// 5 s without it. The card's side reads nothing (EIO) while no one has the
// line open, between two cards.
bool ReadUntil(int fd, std::string &seen, const std::string &text)
{
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (seen.find(text) == std::string::npos) {
        pollfd p {fd, POLLIN, 0};
        char buffer[4096];
        if (Clock::now() > limit || poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EIO)
            usleep(100);
        else if (n <= 0)
            return false;
        else
            seen.append(buffer, static_cast<std::size_t>(n));
    }
    seen.erase(0, seen.find(text) + text.size());
    return true;
}

// A profile whose [defaults] hold `answers` (the options' keys), and cards c1 to c`cards`.
void WriteSite(const std::string &path, const std::vector<std::string> &answers, int cards)
{
    std::string site = "[defaults]\n";
    for (std::size_t i = 0; i + 1 < answers.size(); i += 2) {
        std::string key = answers[i].substr(2);
        std::replace(key.begin(), key.end(), '-', '_');
        site += key + " = " + answers[i + 1] + "\n";
    }
    for (int card = 1; card <= cards; ++card)
        site += "[card c" + std::to_string(card) + "]\n";
    if (FILE *file = std::fopen(path.c_str(), "w")) {
        std::fputs(site.c_str(), file);
        std::fclose(file);
    }
}

// A site of 50 cards rolled out with tovrik-cli rollout, the technician
// pressing Enter at each question on a pseudo-terminal: from the Enter to
// the card's last byte, beside the line time of those bytes at 9600 baud.
void RolloutOf50Cards(benchmark::State &state)
{
    constexpr int kCards = 50;
    const auto answers = LongestAnswers("onthefly");
    const auto expected = ExpectedBytes(answers);
    if (!expected) {
        state.SkipWithError("tovrik-cli --dry-run failed: build it first");
        return;
    }
    testsupport::TempDir work;
    const auto profile = (work.Path() / "site.ini").string();
    WriteSite(profile, answers, kCards);

    testsupport::DeviceDir devices;
    std::vector<double> enterToLastByte;
    for (auto _ : state) {
        testsupport::PtyPair card {testsupport::PtyPair::Slave::Unopened};
        testsupport::PtyPair terminal;
        devices.Map(1, card.DevicePath());
        const auto pid = Spawn({"rollout", "--profile", profile}, -1, terminal.DevicePath().c_str());
        if (!pid) {
            state.SkipWithError("cannot spawn tovrik-cli");
            break;
        }
        std::string shown;
        for (int i = 0; i < kCards; ++i) {
            if (!ReadUntil(terminal.CardFd(), shown, "(s: skip, q: stop) ")) {
                state.SkipWithError(("no question for card " + std::to_string(i + 1)).c_str());
                break;
            }
            const auto enter = Clock::now();
            terminal.Write("\n");
            std::string received;
            if (!ReadUntil(card.CardFd(), received, *expected)) {
                state.SkipWithError(("card " + std::to_string(i + 1) + " did not get its bytes").c_str());
                break;
            }
            enterToLastByte.push_back(Ms(Clock::now() - enter));
        }
        if (state.error_occurred())
            kill(*pid, SIGTERM);
        if (Reap(*pid) != 0 && !state.error_occurred())
            state.SkipWithError("tovrik-cli rollout did not exit with 0");
        state.SetIterationTime(std::accumulate(enterToLastByte.begin(), enterToLastByte.end(), 0.0) / 1000);
    }
    if (enterToLastByte.size() < kCards)
        return;
    std::sort(enterToLastByte.begin(), enterToLastByte.end());
    const double lineMs = static_cast<double>(expected->size()) / kLineBytesPerSecond * 1000;
    state.counters["cards"] = static_cast<double>(enterToLastByte.size());
    state.counters["bytes"] = static_cast<double>(expected->size());
    state.counters["line_ms"] = lineMs;
    state.counters["median_ms"] = enterToLastByte[enterToLastByte.size() / 2];
    state.counters["worst_ms"] = enterToLastByte.back();
}

BENCHMARK(RolloutOf50Cards)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
