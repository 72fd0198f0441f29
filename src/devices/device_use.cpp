#include "device_use.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace devices {

namespace fs = std::filesystem;

namespace {

// The fixed numbers of /dev/tty, /dev/console and /dev/ptmx, and of the
// virtual consoles tty0 to tty63.
constexpr unsigned kTtyAuxMajor = 5;
constexpr unsigned kTtyMinor = 0, kConsoleMinor = 1, kPtmxMinor = 2;
constexpr unsigned kVirtualConsoleMajor = 4, kVirtualConsoles = 64;

// How long a program that opened the device is given to let go again.
constexpr auto kGlance = std::chrono::milliseconds(50);

// "4:64", as sysfs writes a device number.
std::string Numbers(dev_t device)
{
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

bool IsActiveConsole(dev_t device, const SystemRoots &roots)
{
    const auto active = ReadAttribute(roots.sys / "class/tty/console/active");
    if (!active)
        return false;
    std::istringstream names(*active);
    for (std::string name; names >> name;) {
        if (name.find('/') != std::string::npos || name == "." || name == "..")
            continue;
        if (ReadAttribute(roots.sys / "class/tty" / name / "dev") == Numbers(device))
            return true;
    }
    return false;
}

// sysfs names what is behind a device number at dev/char/MAJ:MIN; a built-in
// port with no UART is ttyS<n> there with type 0.
bool IsEmptyBuiltInPort(int fd, dev_t device, const SystemRoots &roots)
{
    std::error_code ec;
    const auto folder = fs::canonical(roots.sys / "dev/char" / Numbers(device), ec);
    if (ec || !IsBuiltInTty(folder.filename().string()))
        return false;
    if (const auto known = UartInSysfs(folder))
        return !*known;
    return !UartAnswers(fd);
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool AllDigits(const char *name)
{
    return *name && std::all_of(name, name + std::char_traits<char>::length(name),
                                [](unsigned char c) { return std::isdigit(c); });
}

bool HasOpen(const fs::path &fdFolder, dev_t device)
{
    const Dir fds(opendir(fdFolder.c_str()));
    if (!fds)
        return false; // another user's process, or gone meanwhile
    while (const dirent *entry = readdir(fds.get())) {
        struct stat st {};
        if (!AllDigits(entry->d_name))
            continue;
        if (::fstatat(dirfd(fds.get()), entry->d_name, &st, 0) != 0) {
            // Access is granted per process: one refusal stands for its
            // every descriptor, which would each cost a refused call.
            if (errno == EACCES)
                return false;
            continue; // closed meanwhile, or leads nowhere
        }
        if (S_ISCHR(st.st_mode) && st.st_rdev == device)
            return true;
    }
    return false;
}

std::optional<Holder> ScanOnce(dev_t device, const SystemRoots &roots)
{
    const std::string self = std::to_string(::getpid());
    const Dir processes(opendir(roots.proc.c_str()));
    if (!processes)
        return std::nullopt;
    while (const dirent *entry = readdir(processes.get())) {
        if (!AllDigits(entry->d_name) || entry->d_name == self)
            continue;
        const fs::path folder = roots.proc / entry->d_name;
        if (HasOpen(folder / "fd", device))
            return Holder {static_cast<pid_t>(std::stol(entry->d_name)),
                           ReadAttribute(folder / "comm", 64).value_or("?")};
    }
    return std::nullopt;
}

} // namespace

Unfit UnfitByNumber(dev_t device, const SystemRoots &roots)
{
    const unsigned maj = major(device), min = minor(device);
    if (maj == kTtyAuxMajor && (min == kTtyMinor || min == kPtmxMinor))
        return Unfit::OtherTerminal;
    if ((maj == kTtyAuxMajor && min == kConsoleMinor) || (maj == kVirtualConsoleMajor && min < kVirtualConsoles)
        || IsActiveConsole(device, roots))
        return Unfit::Console;
    return Unfit::None;
}

Unfit UnfitForCard(int fd, const SystemRoots &roots)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return Unfit::None; // not a terminal either, which the caller refuses
    if (const Unfit unfit = UnfitByNumber(st.st_rdev, roots); unfit != Unfit::None)
        return unfit;
    return IsEmptyBuiltInPort(fd, st.st_rdev, roots) ? Unfit::NoUart : Unfit::None;
}

std::optional<Holder> FindHolder(dev_t device, const SystemRoots &roots)
{
    if (!ScanOnce(device, roots))
        return std::nullopt;
    std::this_thread::sleep_for(kGlance);
    return ScanOnce(device, roots);
}

std::string HolderName(const Holder &holder)
{
    return holder.name + " (PID " + std::to_string(holder.pid) + ")";
}

} // namespace devices
