#include "port_mapping.h"

#include "device_use.h"
#include "permission_advice.h"
#include "port_names.h"
#include "replace_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

namespace ports {

namespace fs = std::filesystem;

namespace {

constexpr const char *kListHint = " (tovrik-ports without arguments lists the serial devices present)";
constexpr const char *kFolderHint = " (PORTLINK_DEVICE_DIR can name another)";

Outcome Fail(std::string message)
{
    return {false, std::move(message), {}};
}

std::string ComName(int port)
{
    return "COM" + std::to_string(port);
}

std::string BadPort(int port)
{
    return "the COM port is a number from " + std::to_string(devices::kFirstPort) + " to "
        + std::to_string(devices::kLastPort) + ", not " + std::to_string(port);
}

bool NameMayChange(const std::string &device)
{
    std::error_code ec;
    return devices::IsAdapterTty(fs::canonical(device, ec).filename().string());
}

// An existing link is replaced, so the port never goes without a device in
// between; a new one is made only if nothing took its place meanwhile.
int WriteLink(const std::string &target, const fs::path &link, bool replace)
{
    if (replace)
        return devices::ReplaceLink(target, link);
    return ::symlink(target.c_str(), link.c_str()) == 0 ? 0 : errno;
}

// The folders on the way to `folder` that do not exist yet, the deepest first.
std::vector<fs::path> MissingFolders(const fs::path &folder)
{
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path at = folder; !at.empty() && !fs::exists(fs::symlink_status(at, ec)); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    return missing;
}

// A failed map leaves no trace, not even the parents it made for the folder.
void RemoveFolders(const std::vector<fs::path> &made)
{
    std::error_code ec;
    for (const auto &folder : made)
        fs::remove(folder, ec); // only ever empty: ours, just made
}

std::optional<std::string> UnfitText(devices::Unfit unfit)
{
    switch (unfit) {
    case devices::Unfit::Console:
        return std::string("it is the system console, never a card") + kListHint;
    case devices::Unfit::OtherTerminal:
        return std::string("it stands for another terminal, not a serial line") + kListHint;
    case devices::Unfit::NoUart:
        return std::string("it has no UART behind it (not connected)") + kListHint;
    case devices::Unfit::None:
        break;
    }
    return std::nullopt;
}

// Opens `device` (numbered `number` by its name) once and judges it as the
// library would. Nothing when it may be mapped; otherwise why not. A device
// the user may not open yet is mapped, with a warning, unless its number
// alone rules it out.
std::optional<std::string> ProbeTerminal(const std::string &device, dev_t number, const devices::SystemRoots &roots,
                                         std::vector<std::string> &warnings)
{
    int fd;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    const bool busy = fd < 0 && errno == EBUSY; // the exclusive flag of a program that holds it
    if (fd >= 0) {
        std::optional<std::string> why;
        struct stat st {};
        if (!isatty(fd))
            why = std::string("not a terminal") + kListHint;
        else if (auto unfit = UnfitText(devices::UnfitForCard(fd, roots)))
            why = unfit;
        else if (::fstat(fd, &st) == 0)
            number = st.st_rdev; // what was opened, whatever the name leads to now
        ::close(fd);
        if (why)
            return why;
    } else if (errno == EACCES || errno == EPERM) {
        if (auto unfit = UnfitText(devices::UnfitByNumber(number, roots)))
            return unfit;
        // The link is right all the same; the user can open it once in the group.
        const auto advice = devices::PermissionAdvice(devices::LookUpAccess(device));
        warnings.push_back("you may not open " + device + " yet" + (advice.empty() ? "" : ": " + advice));
    } else if (!busy) {
        return std::string(std::strerror(errno));
    }
    // Its bytes would mix with that program's, now and whenever the card is used.
    if (const auto holder = devices::FindHolder(number, roots))
        return "it is in use by " + devices::HolderName(*holder) + "; map it once that program has let it go";
    if (busy)
        return std::string("it is in use by another program; map it once that program has let it go");
    return std::nullopt;
}

} // namespace

// Makes the link's folder where it is missing, then the link; a failure
// removes the folders it made. Nothing on success; otherwise why.
std::optional<std::string> WriteLinkInItsFolder(const std::string &target, const fs::path &link, bool replace)
{
    std::error_code ec;
    const fs::path folder = link.parent_path();
    const bool hadFolder = fs::is_directory(folder, ec);
    if (!hadFolder && fs::exists(folder, ec))
        return "the device folder " + folder.string() + " is not a folder" + kFolderHint;
    const auto made = hadFolder ? std::vector<fs::path> {} : MissingFolders(folder);
    // Private whatever the umask: a folder others may write would let them
    // point COM n at a device of their choosing, and the library refuses it.
    if (!hadFolder && fs::create_directories(folder, ec))
        fs::permissions(folder, fs::perms::owner_all, ec);
    if (ec) {
        RemoveFolders(made);
        return "cannot create the device folder " + folder.string() + ": " + ec.message() + kFolderHint;
    }
    if (const int error = WriteLink(target, link, replace); error != 0) {
        RemoveFolders(made);
        return "cannot write in the device folder " + folder.string() + ": " + std::strerror(error) + kFolderHint;
    }
    return std::nullopt;
}

Outcome MapPort(int port, const std::string &device, bool force, const devices::SystemRoots &roots)
{
    const auto link = devices::ComLinkPath(port);
    if (!link)
        return Fail(BadPort(port));
    const std::string com = ComName(port);
    if (device.empty() || device.front() != '/')
        return Fail("give the device as an absolute path, such as /dev/ttyUSB0, not '" + device + "'");
    const std::string refused = "cannot map " + com + " to " + device + ": ";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        const int error = errno;
        return Fail(refused + std::strerror(error) + (error == ENOENT ? kListHint : ""));
    }
    if (!S_ISCHR(st.st_mode))
        return Fail(refused + "not a terminal" + kListHint);

    std::vector<std::string> warnings;
    if (auto why = ProbeTerminal(device, st.st_rdev, roots, warnings))
        return Fail(refused + *why);

    std::string target = device;
    const auto stable = devices::StableNames(device, roots);
    if (!stable.empty() && std::find(stable.begin(), stable.end(), device) == stable.end())
        target = stable.front();
    else if (stable.empty() && NameMayChange(device))
        warnings.push_back(device + " has no stable name under " + (roots.dev / "serial/by-id").string()
                           + ": map COM" + std::to_string(port) + " again if it changes after replugging");
    const std::string shown = target == device ? target : target + " (" + device + ")";

    std::error_code ec;
    const auto existing = fs::symlink_status(*link, ec);
    std::string replaced;
    if (fs::exists(existing)) {
        if (!fs::is_symlink(existing))
            return Fail(link->string() + " is not a symbolic link; tovrik-ports replaces only links, "
                        "so remove it yourself if it should go");
        replaced = fs::read_symlink(*link, ec).string();
        if (replaced == target)
            return {true, com + " already is " + shown, warnings};
        if (!force)
            return Fail(com + " already is " + replaced + "; add --force to replace it");
    }

    if (auto why = WriteLinkInItsFolder(target, *link, fs::exists(existing)))
        return Fail(*why);
    return {true, com + " is now " + shown + (replaced.empty() ? "" : ", no longer " + replaced), warnings};
}

Outcome UnmapPort(int port)
{
    const auto link = devices::ComLinkPath(port);
    if (!link)
        return Fail(BadPort(port));
    const std::string com = ComName(port);
    std::error_code ec;
    const auto status = fs::symlink_status(*link, ec);
    if (!fs::exists(status))
        return Fail(com + " is not mapped: there is no " + link->string());
    if (!fs::is_symlink(status))
        return Fail(link->string() + " is not a symbolic link; tovrik-ports removes only links, "
                    "so remove it yourself if it should go");
    const auto target = fs::read_symlink(*link, ec).string();
    if (::unlink(link->c_str()) != 0)
        return Fail("cannot remove " + link->string() + ": " + std::strerror(errno));
    return {true, com + " no longer is " + target + "; without a link it is " + devices::DeviceForPort(port)->path, {}};
}

} // namespace ports
