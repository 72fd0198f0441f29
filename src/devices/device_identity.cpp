#include "device_identity.h"

#include <sys/stat.h>
#include <unistd.h>

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

bool Later(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

NodeId FromStat(const struct stat &st) { return NodeId {st.st_dev, st.st_ino, st.st_rdev, st.st_ctim}; }

// A pseudo-terminal's node is made with the terminal: one made after the
// link that names it belongs to whoever took the name since.
bool NewerThanLink(const NodeId &node, const std::optional<EntryStamp> &entry)
{
    return entry && Later(node.changed, entry->changed);
}

// Opens `now` in `verdict` when its name still leads to the device `last`
// opened, known by its stable name, its USB socket or as a built-in port;
// otherwise says why not. Never a name with nothing to know it by, such as
// a pseudo-terminal's, which the next terminal window may have taken.
void LeadsToTheSameDevice(const OpenedDevice &last, const DeviceName &now, const SystemRoots &roots,
                          ReopenVerdict &verdict)
{
    const auto chain = LinkChain(now.path);
    if (!last.stableName.empty()) {
        const auto stable = Canonical(last.stableName);
        if (!stable.empty() && stable == Canonical(now.path))
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
        verdict.why = std::string("what it names may now be another device, such as another program's terminal; ")
            + (now.given ? "not opening it again by itself" : "waiting for the link to be made anew");
    }
}

constexpr const char *kNameTaken = "its link is older than the device it names, whose name another program may "
                                   "have taken since; waiting for the link to be made anew";

} // namespace

bool SameNode(const NodeId &a, const NodeId &b)
{
    return a.device == b.device && a.inode == b.inode && a.rdev == b.rdev;
}

std::optional<NodeId> NodeOf(const fs::path &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FromStat(st);
}

std::optional<NodeId> NodeOfDescriptor(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return FromStat(st);
}

std::optional<std::string> UntrustedLink(const fs::path &link)
{
    const uid_t me = ::geteuid();
    const auto others = [&](uid_t owner) { return owner != me && owner != 0; };
    struct stat entry {}, folder {};
    if (::lstat(link.c_str(), &entry) != 0)
        return std::nullopt; // nothing there: opening it fails by itself
    const fs::path dir = link.parent_path().empty() ? fs::path(".") : link.parent_path();
    if (others(entry.st_uid))
        return link.string() + " was made by another user (uid " + std::to_string(entry.st_uid)
            + "); not following it";
    if (::stat(dir.c_str(), &folder) != 0)
        return std::nullopt;
    if (others(folder.st_uid))
        return "the device folder " + dir.string() + " belongs to another user (uid " + std::to_string(folder.st_uid)
            + "); not following its links";
    if (folder.st_mode & S_IWOTH)
        return "the device folder " + dir.string() + " may be written by every user, who could point it at any "
            "device; make it private (chmod 700 " + dir.string() + ")";
    return std::nullopt;
}

std::optional<Mismatch> OpenedOtherThanNamed(const DeviceName &name, const std::optional<EntryStamp> &entry,
                                             const NodeId &opened, bool linkMadeAnew)
{
    if (!name.mapped && !name.given)
        return std::nullopt; // the kernel's own node: no link to swap
    if (name.mapped && StampOf(name.path) != entry)
        return Mismatch {"its link was replaced while it was being opened", true};
    const auto now = NodeOf(name.path);
    if (!now || !SameNode(*now, opened))
        return Mismatch {std::string(name.given ? "what it names" : "what its link leads to")
                             + " changed while it was being opened",
                         true};
    if (linkMadeAnew && NewerThanLink(opened, entry))
        return Mismatch {kNameTaken, false};
    return std::nullopt;
}

std::optional<EntryStamp> StampOf(const fs::path &entry)
{
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0)
        return std::nullopt;
    return EntryStamp {st.st_dev, st.st_ino, st.st_ctim};
}

OpenedDevice DescribeOpened(int port, const DeviceName &name, const std::optional<EntryStamp> &entry,
                            const NodeId &node, const SystemRoots &roots)
{
    // A path the caller named may lead anywhere, as a link does.
    OpenedDevice opened {port, name, entry, node, {}, {}, !name.mapped && !name.given};
    if (opened.fixed)
        return opened;
    const auto chain = LinkChain(name.path);
    const auto deviceNode = DeviceNode(chain, roots);
    opened.stableName = StableName(chain, roots);
    opened.usbPort = UsbPort(deviceNode, roots);
    opened.fixed = IsBuiltIn(deviceNode);
    return opened;
}

ReopenVerdict DecideReopen(const OpenedDevice &last, const SystemRoots &roots)
{
    ReopenVerdict verdict;
    // Named by its path: that path, never what COM n leads to.
    if (last.name.given) {
        LeadsToTheSameDevice(last, last.name, roots, verdict);
        return verdict;
    }
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
        // Made anew: a restarted card, a new mapping; but only by someone
        // who may, and only to a device no newer than the link.
        if (auto why = UntrustedLink(now->path)) {
            verdict.why = *why;
            return verdict;
        }
        if (const auto node = NodeOf(now->path); node && NewerThanLink(*node, verdict.entry)) {
            verdict.why = kNameTaken;
            return verdict;
        }
        verdict.open = now;
        verdict.linkMadeAnew = true;
        return verdict;
    }
    // The same link: believed only while it leads to the same device.
    LeadsToTheSameDevice(last, *now, roots, verdict);
    return verdict;
}

} // namespace devices
