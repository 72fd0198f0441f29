#include "device_identity.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace portlink {

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
    if (!node)
        return false;
    const std::string name = node->filename().string();
    return name.size() > 4 && name.rfind("ttyS", 0) == 0
        && std::all_of(name.begin() + 4, name.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A name under /dev/serial/by-id that leads where `chain` leads: the one the
// chain goes through, else any.
std::string StableName(const std::vector<fs::path> &chain, const SystemRoots &roots)
{
    const fs::path byId = roots.dev / "serial" / "by-id";
    for (const auto &name : chain)
        if (DirectlyIn(name, byId))
            return name.string();
    const auto device = Canonical(chain.front());
    if (device.empty())
        return {};
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec))
        if (Canonical(it->path()) == device)
            names.push_back(it->path().string());
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

// The sysfs folder of the USB device above the tty: its path is the socket
// the adapter is plugged into.
std::string UsbPort(const std::optional<fs::path> &node, const SystemRoots &roots)
{
    if (!node)
        return {};
    const auto top = Canonical(roots.sys);
    auto dir = Canonical(roots.sys / "class" / "tty" / node->filename() / "device");
    std::error_code ec;
    for (; !dir.empty() && dir != top && dir.has_relative_path(); dir = dir.parent_path())
        if (fs::exists(dir / "idVendor", ec))
            return dir.string();
    return {};
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

} // namespace portlink
