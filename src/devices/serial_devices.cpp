#include "serial_devices.h"

#include "port_names.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <tuple>

namespace devices {

namespace fs = std::filesystem;

namespace {

constexpr const char *kNotConnected = "not connected";

constexpr std::string_view kSerialTtys[] = {"ttyUSB", "ttyACM", kBuiltInTty};

// A PC has ttyS0 to ttyS31 whether or not a UART sits behind them; sysfs
// gives the port type without opening the device, which would raise DTR.
bool AnswersAsUart(const std::string &name, const fs::path &device, const SystemRoots &roots)
{
    if (const auto known = UartInSysfs(roots.sys / "class/tty" / name))
        return *known;
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool real = UartAnswers(fd);
    ::close(fd);
    return real;
}

bool IsBelow(const fs::path &path, const fs::path &top)
{
    const auto relative = path.lexically_relative(top);
    return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

std::optional<Adapter> AdapterOf(const std::string &name, const SystemRoots &roots)
{
    const auto dir = UsbDeviceFolder(name, roots);
    if (!dir)
        return std::nullopt;
    const auto read = [&](const char *attribute) { return ReadAttribute(*dir / attribute).value_or(""); };
    return Adapter {read("idVendor"), read("idProduct"), read("manufacturer"), read("product"), read("serial")};
}

std::string UsbIds(const Adapter &adapter)
{
    if (adapter.vendorId.empty() || adapter.productId.empty())
        return {};
    return adapter.vendorId + ":" + adapter.productId;
}

} // namespace

// A FIFO or a device in an attribute's place would block or never end.
std::optional<std::string> ReadAttribute(const fs::path &file, std::size_t limit)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::string text;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    while (ok && text.size() < limit) {
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0)
            break;
        else if (errno != EINTR)
            ok = false;
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

std::optional<bool> UartInSysfs(const fs::path &folder)
{
    const auto type = ReadAttribute(folder / "type");
    if (!type)
        return std::nullopt;
    return *type != std::to_string(PORT_UNKNOWN);
}

bool UartAnswers(int fd)
{
    serial_struct info {};
    return ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
}

std::optional<TtyName> SerialTtyName(const std::string &name)
{
    for (const std::string_view prefix : kSerialTtys) {
        if (name.rfind(prefix, 0) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 6
            || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            return std::nullopt;
        return TtyName {std::string(prefix), std::stoul(digits)};
    }
    return std::nullopt;
}

bool IsBuiltInTty(const std::string &name)
{
    const auto tty = SerialTtyName(name);
    return tty && tty->prefix == kBuiltInTty;
}

bool IsAdapterTty(const std::string &name)
{
    const auto tty = SerialTtyName(name);
    return tty && tty->prefix != kBuiltInTty;
}

// The tty's device is a USB interface or port; the USB device sits
// somewhere above it, known by its idVendor.
std::optional<fs::path> UsbDeviceFolder(const std::string &name, const SystemRoots &roots)
{
    std::error_code ec;
    const fs::path top = fs::weakly_canonical(roots.sys, ec);
    fs::path dir = fs::canonical(roots.sys / "class/tty" / name / "device", ec);
    if (ec)
        return std::nullopt;
    for (; IsBelow(dir, top); dir = dir.parent_path())
        if (fs::exists(dir / "idVendor", ec))
            return dir;
    return std::nullopt;
}

std::string AdapterName(const Adapter &adapter)
{
    std::string name = adapter.product;
    // Many products already start with the maker's name.
    if (!adapter.manufacturer.empty() && name.rfind(adapter.manufacturer, 0) != 0)
        name = name.empty() ? adapter.manufacturer : adapter.manufacturer + " " + name;
    if (name.empty())
        name = "USB device " + UsbIds(adapter);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::string AdapterDetails(const Adapter &adapter)
{
    std::vector<std::string> extras;
    if (const auto ids = UsbIds(adapter); !ids.empty() && AdapterName(adapter).find(ids) == std::string::npos)
        extras.push_back(ids);
    if (!adapter.serial.empty())
        extras.push_back("serial " + adapter.serial);
    std::string details = AdapterName(adapter);
    for (std::size_t i = 0; i < extras.size(); ++i)
        details += (i == 0 ? " (" : ", ") + extras[i];
    return extras.empty() ? details : details + ")";
}

std::vector<std::string> StableNames(const fs::path &device, const SystemRoots &roots)
{
    std::error_code ec;
    const auto target = fs::canonical(device, ec);
    if (ec)
        return {};
    std::vector<std::string> names;
    for (fs::directory_iterator it(roots.dev / "serial/by-id", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (fs::canonical(it->path(), entryError) == target && !entryError)
            names.push_back(it->path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SerialDevice> FindSerialDevices(const SystemRoots &roots)
{
    std::vector<std::pair<TtyName, SerialDevice>> found;
    std::error_code ec;
    for (fs::directory_iterator it(roots.dev, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto tty = SerialTtyName(name);
        std::error_code resolveError;
        const auto resolved = fs::canonical(it->path(), resolveError);
        if (!tty || resolveError)
            continue;
        SerialDevice device;
        device.path = it->path().string();
        device.resolved = resolved;
        device.answers = tty->prefix != kBuiltInTty || AnswersAsUart(name, it->path(), roots);
        device.stableNames = StableNames(resolved, roots);
        device.adapter = AdapterOf(name, roots);
        found.emplace_back(*tty, std::move(device));
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return std::tie(a.first.prefix, a.first.number) < std::tie(b.first.prefix, b.first.number);
    });
    std::vector<SerialDevice> devices;
    for (auto &entry : found)
        devices.push_back(std::move(entry.second));
    return devices;
}

const SerialDevice *FindDevice(const std::vector<SerialDevice> &devices, const fs::path &path)
{
    std::error_code ec;
    const auto resolved = fs::canonical(path, ec);
    if (ec)
        return nullptr;
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&](const SerialDevice &device) { return device.resolved == resolved; });
    return it == devices.end() ? nullptr : &*it;
}

std::string DescribePort(int port, const std::vector<SerialDevice> &devices)
{
    const auto name = DeviceForPort(port);
    if (!name)
        return kNotConnected;
    std::error_code ec;
    const auto resolved = fs::canonical(name->path, ec);
    if (ec || !fs::is_character_file(resolved, ec))
        return kNotConnected;
    const SerialDevice *device = FindDevice(devices, resolved);
    if (!device)
        return resolved.string(); // a pseudo-terminal, or a kind of device not looked for
    if (!device->answers)
        return kNotConnected;
    return device->adapter ? device->path + ", " + AdapterName(*device->adapter) : device->path;
}

} // namespace devices
