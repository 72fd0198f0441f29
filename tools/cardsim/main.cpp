// brenlock-sim: a virtual Brenlock card on a pseudo-terminal, reachable by
// the tool as COM n, so that it can be learnt and tested without a card.
#include "card_port.h"
#include "console.h"
#include "port_names.h"
#include "printable.h"
#include "safe_open.h"
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
#include <random>
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

// An unguessable ending for a temporary name.
std::string RandomSuffix()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string suffix(8, 'x');
    for (char &c : suffix)
        c = kLetters[random() % (sizeof kLetters - 1)];
    return suffix;
}

// Readers see the old file or the new one, never a part. The temporary file
// is made exclusively under a name nobody can guess, in the same folder: at a
// predictable name, a link planted by another user would be written through.
// Both are reached through the folder's descriptor from the start, so a link
// on the way that changes later cannot move the writes elsewhere.
// Written in two steps, so that the card can find out whether it can save
// before anything at the file's name changes.
class StagedFile {
public:
    StagedFile(const devices::FolderEntry &at, std::string shown, std::string_view content)
        : folder_(at.folder.Get()), name_(at.name), shown_(std::move(shown))
    {
        static const mode_t mode = StateFileMode();
        if (const auto why = devices::WhyNotReplace(folder_, name_); !why.empty())
            throw std::runtime_error("cannot write " + shown_ + ": " + why);
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 100; ++tries) {
            temp_ = name_ + ".tmp-" + RandomSuffix();
            fd = openat(folder_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0) {
            temp_.clear();
            Fail("cannot write " + shown_);
        }
        const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, content) && fsync(fd) == 0;
        const int error = errno;
        close(fd);
        if (!written) {
            Discard();
            Fail("cannot write " + shown_, error);
        }
    }
    ~StagedFile() { Discard(); }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    void Commit()
    {
        if (renameat(folder_, temp_.c_str(), folder_, name_.c_str()) != 0) {
            const int error = errno;
            Discard();
            Fail("cannot write " + shown_, error);
        }
        temp_.clear();
    }

private:
    void Discard()
    {
        if (!temp_.empty())
            unlinkat(folder_, temp_.c_str(), 0);
        temp_.clear();
    }

    int folder_;
    std::string name_;
    std::string shown_;
    std::string temp_;
};

// Writing the state or the trace replaces or truncates whatever is at
// `path`: a device node that a mistyped name hits (/dev/null, as root), a
// link or a folder are kept.
bool MayReplace(const char *option, const std::string &path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    std::fprintf(stderr, "brenlock-sim: %s %s is %s, not a regular file; not replacing it\n", option,
                 devices::Printable(path).c_str(), devices::Printable(cardsim::Describe(path)).c_str());
    return false;
}

class TraceFile {
public:
    explicit TraceFile(const std::string &file)
    {
        if (file.empty())
            return;
        // Walked as the log is, and never through a link planted at the
        // name after the start-up check. Not truncated yet: a start that
        // fails later keeps the last trace.
        std::string why;
        auto at = devices::OpenFolderOf(file, why);
        bool created = false;
        if (at)
            fd_ = devices::OpenFileIn(at->folder.Get(), at->name, 0644, created, why);
        if (!fd_)
            throw std::runtime_error("cannot open the trace file " + file + ": " + why);
        if (created)
            made_ = std::move(at);
    }
    ~TraceFile()
    {
        if (made_) // the start failed: leave nothing behind
            unlinkat(made_->folder.Get(), made_->name.c_str(), 0);
    }

    // Once the card is up.
    void Start()
    {
        if (fd_ && ftruncate(fd_.Get(), 0) != 0)
            Fail("cannot write the trace file");
        made_.reset();
    }
    TraceFile(const TraceFile &) = delete;
    TraceFile &operator=(const TraceFile &) = delete;

    void Write(std::string_view bytes) const
    {
        if (fd_ && !WriteAll(fd_.Get(), bytes))
            std::fprintf(stderr, "brenlock-sim: cannot write the trace file: %s\n", std::strerror(errno));
    }

private:
    devices::FileHandle fd_;
    std::optional<devices::FolderEntry> made_; // created by this start, which has not succeeded yet
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
        if (!options_.stateFile.empty()) {
            std::string why;
            stateAt_ = devices::OpenFolderOf(options_.stateFile, why);
            if (!stateAt_)
                throw std::runtime_error("cannot write " + options_.stateFile + ": " + why);
            state.emplace(*stateAt_, options_.stateFile, cardsim::ToJson(console_.Stored()));
        }
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
        if (!stateAt_)
            return;
        try {
            StagedFile(*stateAt_, options_.stateFile, cardsim::ToJson(config)).Commit();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "brenlock-sim: %s\n", devices::Printable(e.what()).c_str());
        }
    }

    Options options_;
    int signalFd_;
    std::optional<devices::FolderEntry> stateAt_; // the state file's folder, reached once
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
        // File names from the command line stay on their line.
        std::fprintf(stderr, "brenlock-sim: %s\n", devices::Printable(e.what()).c_str());
        return 1;
    }
    return 0;
}
