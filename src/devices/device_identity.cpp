#include "device_identity.h"

#include <sys/stat.h>

#include <vector>

namespace devices {

namespace fs = std::filesystem;

namespace {

fs::path Canonical(const fs::path &path)
{
    std::error_code ec;
    auto found = fs::canonical(path, ec);
    return ec ? fs::path() : found;
}

// Every name met on the way from `start` to what it finally names, one link
// at a time, `start` first.
std::vector<fs::path> LinkChain(const fs::path &start)
{
    std::vector<fs::path> chain {start};
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(chain.back(), ec)); ++hops) {
        const auto target = fs::read_symlink(chain.back(), ec);
        if (ec)
            break;
        chain.push_back(target.is_absolute() ? target : (chain.back().parent_path() / target).lexically_normal());
    }
    return chain;
}

bool DirectlyIn(const fs::path &name, const fs::path &folder)
{
    const auto parent = Canonical(name.parent_path());
    return !parent.empty() && parent == Canonical(folder);
}

// The last name on the way that sits in the device folder itself: sysfs
// knows the device by it (ttyUSB0), whatever the names before it were.
std::optional<fs::path> DeviceNode(const std::vector<fs::path> &chain, const SystemRoots &roots)
{
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (DirectlyIn(*it, roots.dev))
            return *it;
    return std::nullopt;
}

bool IsBuiltIn(const std::optional<fs::path> &node)
{
    return node && IsBuiltInTty(node->filename().string());
}

// A name under /dev/serial/by-id that leads where `chain` leads: the one the
// chain goes through, else any.
std::string StableName(const std::vector<fs::path> &chain, const SystemRoots &roots)
{
    for (const auto &name : chain)
        if (DirectlyIn(name, roots.dev / "serial" / "by-id"))
            return name.string();
    const auto names = StableNames(chain.front(), roots);
    return names.empty() ? std::string() : names.front();
}

std::string UsbPort(const std::optional<fs::path> &node, const SystemRoots &roots)
{
    const auto folder = node ? UsbDeviceFolder(node->filename().string(), roots) : std::nullopt;
    return folder ? folder->string() : std::string();
}

} // namespace

std::optional<EntryStamp> StampOf(const fs::path &entry)
{
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0)
        return std::nullopt;
    return EntryStamp {st.st_dev, st.st_ino, st.st_ctim};
}

OpenedDevice DescribeOpened(int port, const DeviceName &name, const std::optional<EntryStamp> &entry,
                            const SystemRoots &roots)
{
    OpenedDevice opened {port, name, entry, {}, {}, !name.mapped};
    if (!name.mapped)
        return opened;
    const auto chain = LinkChain(name.path);
    const auto node = DeviceNode(chain, roots);
    opened.stableName = StableName(chain, roots);
    opened.usbPort = UsbPort(node, roots);
    opened.fixed = IsBuiltIn(node);
    return opened;
}

ReopenVerdict DecideReopen(const OpenedDevice &last, const SystemRoots &roots)
{
    ReopenVerdict verdict;
    const auto now = DeviceForPort(last.port, roots.dev);
    if (!now)
        return verdict;
    // A mapping made since the built-in port was opened is the user's new
    // choice; without one the built-in port is still itself.
    if (!last.name.mapped) {
        verdict.open = now;
        if (now->mapped)
            verdict.entry = StampOf(now->path);
        return verdict;
    }
    // Opened through its link, it waits for a link: the built-in port that
    // COM n falls back to is some other device.
    if (!now->mapped) {
        verdict.why = "its link is gone";
        return verdict;
    }
    verdict.entry = StampOf(now->path);
    if (!last.entry || verdict.entry != last.entry) {
        verdict.open = now; // made anew: a restarted card, a new mapping
        return verdict;
    }
    // The same link: believed only while it leads to the same device.
    const auto chain = LinkChain(now->path);
    if (!last.stableName.empty()) {
        const auto stable = Canonical(last.stableName);
        if (!stable.empty() && stable == Canonical(now->path))
            verdict.open = now;
        else
            verdict.why = stable.empty() ? last.stableName + " is not there (is the adapter plugged in?)"
                                         : "it now leads to another device than " + last.stableName;
    } else if (!last.usbPort.empty()) {
        if (UsbPort(DeviceNode(chain, roots), roots) == last.usbPort)
            verdict.open = now;
        else
            verdict.why = "the adapter in USB port " + fs::path(last.usbPort).filename().string() + " is not there";
    } else if (last.fixed && IsBuiltIn(DeviceNode(chain, roots))) {
        verdict.open = now;
    } else {
        verdict.why = "what it names may now be another device, such as another program's terminal; waiting "
                      "for the link to be made anew";
    }
    return verdict;
}

} // namespace devices
