// brenlock-sim as a separate process, and the tool's end of its line opened
// the way the library opens a port.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cardsimtest {

using namespace std::chrono_literals;

class SimProcess {
public:
    // `env` changes the inherited environment: a value sets, nullopt unsets.
    // `unprivileged` takes away root's right to ignore a device's exclusive
    // flag (CAP_SYS_ADMIN), so that root runs it as an ordinary user would.
    SimProcess(const std::vector<std::string> &args, const std::filesystem::path &outputDir,
               const std::map<std::string, std::optional<std::string>> &env = {}, bool unprivileged = false);
    ~SimProcess(); // kills a card still running
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    [[nodiscard]] pid_t Pid() const { return pid_; }
    // Waits until `link` exists; false when the card ended or time ran out.
    [[nodiscard]] bool WaitForLink(const std::filesystem::path &link, std::chrono::milliseconds limit = 5s);
    // Waits until standard output holds a whole line.
    [[nodiscard]] std::string FirstLine(std::chrono::milliseconds limit = 5s) const;
    // The exit status, or 128 + signal number; -1 when it did not end in
    // time or had already been waited for.
    [[nodiscard]] int Stop(int signal);
    [[nodiscard]] int Wait(std::chrono::milliseconds limit = 5s);
    [[nodiscard]] std::string Stdout() const;
    [[nodiscard]] std::string Stderr() const;
    // User and system time used so far, in clock ticks.
    [[nodiscard]] long CpuTicks() const;

private:
    pid_t pid_ = -1;
    std::filesystem::path out_, err_;
};

class ToolEnd {
public:
    // Opens what `link` names non-blocking, without becoming its controlling
    // terminal, exclusively, at 9600 8N1 raw. Throws on failure.
    explicit ToolEnd(const std::filesystem::path &link);
    ~ToolEnd(); // closes without clearing the exclusive flag, like a killed tool
    ToolEnd(const ToolEnd &) = delete;
    ToolEnd &operator=(const ToolEnd &) = delete;

    [[nodiscard]] int Fd() const { return fd_; }
    void Write(const std::string &bytes);
    // Reads until the text read ends with `end`, or `limit` passed.
    [[nodiscard]] std::string ReadUntil(const std::string &end, std::chrono::milliseconds limit = 5s);
    // Reads until nothing comes for `quiet`.
    [[nodiscard]] std::string ReadQuiet(std::chrono::milliseconds quiet = 200ms);
    // True when the line hangs up within `limit`.
    [[nodiscard]] bool HangsUp(std::chrono::milliseconds limit = 2s);

private:
    int fd_ = -1;
};

[[nodiscard]] std::string ReadFile(const std::filesystem::path &path);

} // namespace cardsimtest
