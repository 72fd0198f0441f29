#include "portlink_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace portlink_test {

StderrCapture::StderrCapture()
{
    char name[] = "/tmp/portlink-stderr-XXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    dup2(file_, STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    close(file_);
}

std::string StderrCapture::Text() const
{
    std::string out;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = pread(file_, buf, sizeof buf, at);
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return out;
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : name_(name)
{
    if (const char *old = std::getenv(name)) {
        old_ = old;
        had_ = true;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::string Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string RandomBytes(std::size_t count, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::string out(count, '\0');
    for (auto &c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

std::string AllByteValues()
{
    std::string out;
    for (int i = 0; i < 256; ++i)
        out += static_cast<char>(i);
    return out;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

long OtherThreadsCpuTicks()
{
    long ticks = 0;
    const std::string self = std::to_string(getpid());
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self)
            continue;
        const std::string stat = ReadFile(task.path() / "stat");
        // The thread's name is in parentheses and may hold blanks; the
        // fields after it are fixed: utime and stime are the 12th and 13th.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string skip;
        for (int i = 0; i < 11; ++i)
            fields >> skip;
        long utime = 0, stime = 0;
        fields >> utime >> stime;
        ticks += utime + stime;
    }
    return ticks;
}

static int Entries(const char *dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

int OpenDescriptors() { return Entries("/proc/self/fd"); }
int Threads() { return Entries("/proc/self/task"); }

} // namespace portlink_test
