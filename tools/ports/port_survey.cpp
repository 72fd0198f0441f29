#include "port_survey.h"

#include "device_use.h"
#include "exclusive_open.h"
#include "permission_advice.h"
#include "port_names.h"
#include "printable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>

namespace ports {

namespace fs = std::filesystem;

namespace {

Probe NoAccess(const std::string &device)
{
    return {DeviceState::NoAccess, devices::PermissionAdvice(devices::LookUpAccess(device))};
}

Probe Busy()
{
    return {DeviceState::Busy, "another program has it open"};
}

Probe CannotOpen(int error)
{
    return {DeviceState::CannotOpen, std::strerror(error)};
}

Probe NoUart()
{
    return {DeviceState::NoUart, "no UART behind it"};
}

// Another process that has the device open.
std::optional<Probe> InUse(dev_t device, const devices::SystemRoots &roots)
{
    if (const auto holder = devices::FindHolder(device, roots))
        return Probe {DeviceState::InUse, devices::HolderName(*holder)};
    return std::nullopt;
}

std::optional<Probe> Unfit(devices::Unfit unfit)
{
    switch (unfit) {
    case devices::Unfit::Console:
        return Probe {DeviceState::Console, {}};
    case devices::Unfit::OtherTerminal:
        return Probe {DeviceState::OtherTerminal, {}};
    case devices::Unfit::NoUart:
        return NoUart();
    case devices::Unfit::None:
        break;
    }
    return std::nullopt;
}

// What the library would refuse the open device for, if anything.
std::optional<Probe> Refused(int fd, const devices::SystemRoots &roots)
{
    if (auto unfit = Unfit(devices::UnfitForCard(fd, roots)))
        return unfit;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return CannotOpen(errno);
    return InUse(st.st_rdev, roots);
}

} // namespace

Probe ProbeDevice(const std::string &device, const devices::SystemRoots &roots)
{
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Probe {} : CannotOpen(errno);
    if (!S_ISCHR(st.st_mode))
        return {DeviceState::NotTerminal, {}};
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        const int error = errno;
        // Joining the console's group would not make it a card.
        if (auto unfit = Unfit(devices::UnfitByNumber(st.st_rdev, roots)))
            return *unfit;
        return error == EACCES ? NoAccess(device) : CannotOpen(error);
    }
    int fd;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        switch (errno) {
        case EBUSY: // the library's exclusive flag, which binds all but root; unseen, another user's
            return InUse(st.st_rdev, roots).value_or(Busy());
        case EACCES:
        case EPERM:
            return NoAccess(device);
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return {};
        default:
            return CannotOpen(errno);
        }
    }
    Probe probe {DeviceState::Ready, {}};
    if (!isatty(fd)) {
        probe = {DeviceState::NotTerminal, {}};
    } else if (auto refused = Refused(fd, roots)) {
        probe = std::move(*refused);
    } else {
        // The lock that the library takes, and that root cannot override.
        if (const int error = devices::LockAgainstOthers(fd); error != 0)
            probe = error == EWOULDBLOCK ? Busy() : CannotOpen(error);
        else
            flock(fd, LOCK_UN);
    }
    ::close(fd);
    return probe;
}

Survey TakeSurvey(const devices::SystemRoots &roots)
{
    Survey survey;
    survey.folder = devices::DeviceFolder();
    const auto present = devices::FindSerialDevices(roots);
    std::vector<bool> named(present.size(), false);
    for (int port = devices::kFirstPort; port <= devices::kLastPort; ++port) {
        const auto name = devices::DeviceForPort(port, roots.dev);
        const auto link = devices::ComLinkPath(port);
        PortRow row;
        row.port = port;
        row.device = name->path;
        std::error_code ec;
        std::string target;
        if (fs::is_symlink(fs::symlink_status(*link, ec))) {
            target = fs::read_symlink(*link, ec).string();
            row.link = link->filename().string() + " -> " + target;
            row.device = target;
        } else if (name->path == link->string()) {
            row.link = link->filename().string() + " (not a link)";
        }
        const auto resolved = fs::canonical(name->path, ec);
        if (!ec)
            row.device = resolved.string();
        const devices::SerialDevice *device = ec ? nullptr : devices::FindDevice(present, resolved);
        if (device) {
            named[static_cast<std::size_t>(device - present.data())] = true;
            row.device = device->path;
            if (device->adapter)
                row.adapter = devices::AdapterDetails(*device->adapter);
            const auto &stable = device->stableNames;
            if (!target.empty() && !stable.empty() && std::find(stable.begin(), stable.end(), target) == stable.end())
                row.stableName = stable.front();
        }
        row.probe = device && !device->answers ? NoUart() : ProbeDevice(name->path, roots);
        if (row.probe.state == DeviceState::Console || row.probe.state == DeviceState::OtherTerminal)
            row.probe.detail = "map COM" + std::to_string(port) + " to the card's adapter with tovrik-ports map "
                + (name->mapped ? "--force " : "") + std::to_string(port) + " DEVICE";
        survey.ports.push_back(std::move(row));
    }
    for (std::size_t i = 0; i < present.size(); ++i)
        if (present[i].answers && !named[i])
            survey.unnamed.push_back(present[i]);
    return survey;
}

std::string StateName(DeviceState state)
{
    switch (state) {
    case DeviceState::Missing:
        return "missing";
    case DeviceState::NotTerminal:
        return "not a terminal";
    case DeviceState::NoUart:
        return "not connected";
    case DeviceState::NoAccess:
        return "no access";
    case DeviceState::Console:
        return "system console";
    case DeviceState::OtherTerminal:
        return "not a serial line";
    case DeviceState::InUse:
        return "in use";
    case DeviceState::Busy:
        return "busy";
    case DeviceState::CannotOpen:
        return "cannot open";
    case DeviceState::Ready:
        return "ready";
    }
    return {};
}

std::string StateText(const Probe &probe)
{
    if (probe.detail.empty())
        return StateName(probe.state);
    return StateName(probe.state) + (probe.state == DeviceState::InUse ? " by " : ": ") + probe.detail;
}

// Names come from links and the system; shown as they are, one could break
// the listing's lines or steer the terminal.
std::string FormatSurvey(const Survey &survey)
{
    using devices::Printable;
    std::size_t width = 12;
    for (const auto &row : survey.ports)
        width = std::max(width, Printable(row.device).size());
    const std::string indent(6, ' ');
    std::ostringstream out;
    out << "COM ports (device folder " << Printable(survey.folder.string()) << "):\n";
    for (const auto &row : survey.ports) {
        const std::string device = Printable(row.device);
        out << "COM" << row.port << "  " << device << std::string(width - device.size(), ' ') << "  "
            << Printable(StateText(row.probe)) << '\n';
        if (!row.adapter.empty())
            out << indent << Printable(row.adapter) << '\n';
        if (!row.link.empty())
            out << indent << Printable(row.link) << '\n';
        if (!row.stableName.empty())
            out << indent << "a name that survives replugging: " << Printable(row.stableName)
                << " (tovrik-ports map --force " << row.port << ' ' << device << ")\n";
    }
    if (survey.unnamed.empty()) {
        out << "\nSerial devices that no COM port names: none\n";
        return out.str();
    }
    out << "\nSerial devices that no COM port names:\n";
    for (const auto &device : survey.unnamed) {
        out << "  " << Printable(device.path);
        if (device.adapter)
            out << "  " << Printable(devices::AdapterDetails(*device.adapter));
        out << '\n';
        for (const auto &stable : device.stableNames)
            out << "    " << Printable(stable) << '\n';
    }
    out << "Give one a COM port with: tovrik-ports map N DEVICE\n";
    return out.str();
}

} // namespace ports
