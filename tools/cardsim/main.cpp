// brenlock-sim: a virtual Brenlock card on a pseudo-terminal, reachable by
// the tool as COM n, so that it can be learnt and tested without a card.
#include "card_port.h"
#include "console.h"
#include "port_names.h"
#include "tovrik_version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char *kUsage =
    "Usage: brenlock-sim [--com N] [--state FILE] [--trace FILE]\n"
    "       brenlock-sim --version\n"
    "A virtual Brenlock card on a pseudo-terminal, reachable by the tool as COM N.\n"
    "\n"
    "  --com N       COM port 1 to 8 (default 1): the card creates the link comN\n"
    "                in $PORTLINK_DEVICE_DIR, or when that is not set in\n"
    "                ${XDG_CONFIG_HOME:-~/.config}/portlink/\n"
    "  --state FILE  keeps the stored configuration in FILE as JSON, written at\n"
    "                start and after every apply or erase; FILE must be a\n"
    "                regular file if it exists\n"
    "  --trace FILE  writes every byte the card receives to FILE, raw; FILE\n"
    "                must be a regular file if it exists\n"
    "  -h, --help    shows this text\n"
    "  --version     shows the version\n"
    "\n"
    "The card starts erased, runs until SIGINT, SIGTERM or SIGHUP, and then\n"
    "removes its link.\n";

// Output nobody reads is dropped beyond this, as a serial line would.
constexpr std::size_t kMaxOutput = 64 * 1024;

struct Options {
    int com = 1;
    std::string stateFile;
    std::string traceFile;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Options ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg == "--version") {
            std::cout << "brenlock-sim " TOVRIK_VERSION "\n";
            std::exit(0);
        } else if (arg == "--com") {
            const std::string n = value();
            const auto port = n.size() == 1 ? devices::ParsePort(n) : std::nullopt;
            if (!port)
                throw UsageError("--com takes a port number from " + std::to_string(devices::kFirstPort) + " to "
                                 + std::to_string(devices::kLastPort) + ", not '" + n + "'");
            options.com = *port;
        } else if (arg == "--state" || arg == "--trace") {
            const std::string file = value();
            if (file.empty())
                throw UsageError(arg + " needs a file name");
            (arg == "--state" ? options.stateFile : options.traceFile) = file;
        } else {
            throw UsageError("unknown argument '" + arg + "'");
        }
    }
    return options;
}

[[noreturn]] void Fail(const std::string &what, int error = errno)
{
    throw std::runtime_error(what + ": " + std::strerror(error));
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// What opening with 0644 would give under the umask; mkstemp gives 0600.
mode_t StateFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0644 & ~mask;
}

// Readers see the old file or the new one, never a part. The temporary file
// is made exclusively under a name nobody can guess, in the same folder: at a
// predictable name, a link planted by another user would be written through.
// Written in two steps, so that the card can find out whether it can save
// before anything at `path` changes.
class StagedFile {
public:
    StagedFile(std::string path, std::string_view content) : path_(std::move(path)), temp_(path_ + ".tmp-XXXXXX")
    {
        static const mode_t mode = StateFileMode();
        const int fd = mkostemp(temp_.data(), O_CLOEXEC);
        if (fd < 0) {
            temp_.clear();
            Fail("cannot write " + path_);
        }
        const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, content) && fsync(fd) == 0;
        const int error = errno;
        close(fd);
        if (!written) {
            Discard();
            Fail("cannot write " + path_, error);
        }
    }
    ~StagedFile() { Discard(); }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    void Commit()
    {
        if (rename(temp_.c_str(), path_.c_str()) != 0) {
            const int error = errno;
            Discard();
            Fail("cannot write " + path_, error);
        }
        temp_.clear();
    }

private:
    void Discard()
    {
        if (!temp_.empty())
            unlink(temp_.c_str());
        temp_.clear();
    }

    std::string path_;
    std::string temp_;
};

void WriteAtomically(const std::string &path, std::string_view content) { StagedFile(path, content).Commit(); }

// Writing the state or the trace replaces or truncates whatever is at
// `path`: a device node that a mistyped name hits (/dev/null, as root), a
// link or a folder are kept.
bool MayReplace(const char *option, const std::string &path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    std::fprintf(stderr, "brenlock-sim: %s %s is %s, not a regular file; not replacing it\n", option, path.c_str(),
                 cardsim::Describe(path).c_str());
    return false;
}

class TraceFile {
public:
    explicit TraceFile(const std::string &file)
    {
        if (file.empty())
            return;
        // Never through a link planted at the name after the start-up check.
        // Not truncated yet: a start that fails later keeps the last trace.
        constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW;
        fd_ = open(file.c_str(), kFlags);
        if (fd_ < 0 && errno == ENOENT) {
            fd_ = open(file.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
            if (fd_ >= 0)
                made_ = file;
        }
        if (fd_ < 0)
            Fail("cannot open the trace file " + file);
    }
    ~TraceFile()
    {
        if (fd_ >= 0)
            close(fd_);
        if (!made_.empty())
            unlink(made_.c_str()); // the start failed: leave nothing behind
    }

    // Once the card is up.
    void Start()
    {
        if (fd_ >= 0 && ftruncate(fd_, 0) != 0)
            Fail("cannot write the trace file");
        made_.clear();
    }
    TraceFile(const TraceFile &) = delete;
    TraceFile &operator=(const TraceFile &) = delete;

    void Write(std::string_view bytes) const
    {
        if (fd_ >= 0 && !WriteAll(fd_, bytes))
            std::fprintf(stderr, "brenlock-sim: cannot write the trace file: %s\n", std::strerror(errno));
    }

private:
    int fd_ = -1;
    std::string made_; // created by this start, which has not succeeded yet
};

class Card {
public:
    // Everything is opened and checked before the link is made, and the
    // state and trace are changed only once it is: a start that fails leaves
    // the files of the last run as they were.
    Card(const Options &options, int signalFd)
        : options_(options), signalFd_(signalFd), trace_(options.traceFile),
          console_([this](const cardsim::CardConfig &config) { Store(config); })
    {
        std::optional<StagedFile> state;
        if (!options_.stateFile.empty())
            state.emplace(options_.stateFile, cardsim::ToJson(console_.Stored()));
        port_.emplace(cardsim::DeviceFolder(), options.com);
        trace_.Start();
        if (state)
            state->Commit();
    }
    Card(const Card &) = delete;
    Card &operator=(const Card &) = delete;

    void Announce() const
    {
        std::printf("brenlock-sim: COM%d is %s (link %s)\n", options_.com, port_->Device().c_str(),
                    port_->Link().c_str());
        std::fflush(stdout);
    }

    // Until a signal comes.
    void Run()
    {
        bool closed = false;
        for (;;) {
            pollfd fds[2] = {{signalFd_, POLLIN, 0}, {port_->WakeFd(), POLLIN, 0}};
            if (!closed)
                fds[1] = {port_->Fd(), short(POLLIN | (output_.empty() ? 0 : POLLOUT)), 0};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                Fail("poll");
            }
            if (fds[0].revents & POLLIN) {
                signalfd_siginfo info {};
                if (read(signalFd_, &info, sizeof info) > 0)
                    return;
            }
            if (closed) {
                // Woken by an opening of the device.
                port_->DrainWakeups();
                closed = port_->Closed();
                continue;
            }
            bool hungUp = false;
            // The poll's hang-up may be old news: the tool can close, and the
            // next one open and write, before this looks. That one's answer
            // must not be dropped, so the device is asked again.
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
                hungUp = Receive() || ((fds[1].revents & (POLLHUP | POLLERR)) && port_->Closed());
            if (!hungUp && !output_.empty())
                hungUp = Send();
            if (hungUp) {
                output_.clear();
                port_->DrainWakeups();
                if (port_->MakeReady())
                    std::printf("brenlock-sim: COM%d is now %s\n", options_.com, port_->Device().c_str());
                std::fflush(stdout);
                // Checked after draining: an opening from now on wakes the poll.
                closed = port_->Closed();
            }
        }
    }

private:
    // True when the tool has closed its end.
    bool Receive()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(port_->Fd(), buffer, sizeof buffer);
            if (n > 0) {
                const std::string_view bytes(buffer, static_cast<std::size_t>(n));
                trace_.Write(bytes);
                console_.Feed(bytes);
                output_ += console_.TakeOutput();
                if (output_.size() > kMaxOutput)
                    output_.erase(0, output_.size() - kMaxOutput);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return false;
            return true; // EIO (or end of file): nobody holds the other end
        }
    }

    bool Send()
    {
        const ssize_t n = write(port_->Fd(), output_.data(), output_.size());
        if (n > 0)
            output_.erase(0, static_cast<std::size_t>(n));
        return n < 0 && errno != EAGAIN && errno != EINTR;
    }

    void Store(const cardsim::CardConfig &config)
    {
        if (options_.stateFile.empty())
            return;
        try {
            WriteAtomically(options_.stateFile, cardsim::ToJson(config));
        } catch (const std::exception &e) {
            std::fprintf(stderr, "brenlock-sim: %s\n", e.what());
        }
    }

    Options options_;
    int signalFd_;
    TraceFile trace_;
    cardsim::Console console_;
    std::optional<cardsim::CardPort> port_;
    std::string output_;
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "brenlock-sim: %s (see --help)\n", e.what());
        return 2;
    }
    if (!options.stateFile.empty() && !MayReplace("--state", options.stateFile))
        return 1;
    if (!options.traceFile.empty() && !MayReplace("--trace", options.traceFile))
        return 1;

    // Signals are taken through a descriptor from before the link exists,
    // so that none can end the card without its link being removed.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &stops, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::fprintf(stderr, "brenlock-sim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    try {
        Card card(options, signalFd);
        card.Announce();
        card.Run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "brenlock-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
