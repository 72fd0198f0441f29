#include "sim_process.h"

#include "exclusive_open.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace cardsimtest {

namespace {

std::vector<std::string> Environment(const std::map<std::string, std::optional<std::string>> &changes)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!changes.count(entry.substr(0, entry.find('='))))
            env.push_back(entry);
    }
    for (const auto &[name, value] : changes)
        if (value)
            env.push_back(name + "=" + *value);
    return env;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (auto &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

SimProcess::SimProcess(const std::vector<std::string> &args, const std::filesystem::path &outputDir,
                       const std::map<std::string, std::optional<std::string>> &env, bool unprivileged)
    : out_(outputDir / "sim.out"), err_(outputDir / "sim.err")
{
    std::vector<std::string> argv = {BRENLOCK_SIM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = Environment(env);
    auto argPointers = Pointers(argv);
    auto envPointers = Pointers(envp);
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec. A test binary that
        // dies takes its card with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (unprivileged)
            prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN);
        const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        execve(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
}

SimProcess::~SimProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool SimProcess::WaitForLink(const std::filesystem::path &link, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        if (std::filesystem::is_symlink(link, ec))
            return true;
        if (pid_ <= 0 || waitpid(pid_, nullptr, WNOHANG) != 0)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

int SimProcess::Stop(int signal)
{
    // Once the card has been waited for, pid_ is -1, and kill(-1, …) would
    // signal every process we may signal.
    if (pid_ <= 0)
        return -1;
    kill(pid_, signal);
    return Wait();
}

int SimProcess::Wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(5ms);
    }
    return -1;
}

std::string SimProcess::FirstLine(std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::string out = Stdout();
        if (const auto end = out.find('\n'); end != std::string::npos)
            return out.substr(0, end + 1);
        if (std::chrono::steady_clock::now() > deadline)
            return out;
        std::this_thread::sleep_for(5ms);
    }
}

std::string SimProcess::Stdout() const { return ReadFile(out_); }
std::string SimProcess::Stderr() const { return ReadFile(err_); }

long SimProcess::CpuTicks() const
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
    // Fields after the command name, which is in parentheses: utime is the
    // 12th and stime the 13th of them.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12)
            utime = std::stol(field);
        if (i == 13)
            stime = std::stol(field);
    }
    return utime + stime;
}

ToolEnd::ToolEnd(const std::filesystem::path &link)
{
    fd_ = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("open " + link.string() + ": " + std::strerror(errno));
    termios t {};
    // Held as the tool holds it, whose exclusive flag the card must clear.
    [[maybe_unused]] const int held = devices::HoldExclusively(fd_);
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd_, TCSANOW, &t);
}

ToolEnd::~ToolEnd()
{
    if (fd_ >= 0)
        close(fd_);
}

void ToolEnd::Write(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p {fd_, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        }
    }
}

std::string ToolEnd::ReadUntil(const std::string &end, std::chrono::milliseconds limit)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!out.ends_with(end)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p {fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return out;
}

std::string ToolEnd::ReadQuiet(std::chrono::milliseconds quiet)
{
    std::string out;
    for (;;) {
        pollfd p {fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            return out;
        char buffer[512];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return out;
    }
}

bool ToolEnd::HangsUp(std::chrono::milliseconds limit)
{
    pollfd p {fd_, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(limit.count())) > 0 && (p.revents & POLLHUP);
}

} // namespace cardsimtest
