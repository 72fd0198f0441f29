#include "port_names.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace devices {

namespace {

std::string NonEmptyEnv(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path HomeFolder()
{
    if (auto home = NonEmptyEnv("HOME"); !home.empty())
        return home;
    std::vector<char> buffer(4096);
    passwd entry {};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_dir;
    return "/";
}

} // namespace

std::optional<int> ParsePort(std::string_view text)
{
    if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int port = std::stoi(std::string(text));
    if (port < kFirstPort || port > kLastPort)
        return std::nullopt;
    return port;
}

std::filesystem::path DeviceFolder()
{
    if (auto dir = NonEmptyEnv("PORTLINK_DEVICE_DIR"); !dir.empty())
        return dir;
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as its rules say.
    if (auto config = NonEmptyEnv("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/')
        return std::filesystem::path(config) / "portlink";
    return HomeFolder() / ".config" / "portlink";
}

std::optional<std::filesystem::path> ComLinkPath(int port)
{
    if (port < kFirstPort || port > kLastPort)
        return std::nullopt;
    return DeviceFolder() / ("com" + std::to_string(port));
}

std::filesystem::path BuiltInPort(int port, const std::filesystem::path &devices)
{
    return devices / (std::string(kBuiltInTty) + std::to_string(port - 1));
}

std::optional<DeviceName> DeviceForPort(int port, const std::filesystem::path &devices)
{
    const auto found = ComLinkPath(port);
    if (!found)
        return std::nullopt;
    const auto &link = *found;
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(link, ec);
    if (std::filesystem::is_symlink(status)) {
        const auto target = std::filesystem::read_symlink(link, ec);
        return DeviceName {link.string(), link.string() + " -> " + (ec ? "?" : target.string()), true};
    }
    // Something other than a link in its place is still what the user named.
    if (std::filesystem::exists(status))
        return DeviceName {link.string(), link.string(), true};
    const std::string builtIn = BuiltInPort(port, devices).string();
    return DeviceName {builtIn, builtIn, false};
}

DeviceName DeviceAtPath(const std::string &path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return DeviceName {ec ? path : absolute.string(), path, false, true};
}

} // namespace devices
