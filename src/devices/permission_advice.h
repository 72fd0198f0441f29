// What to tell a user whom the system refused a device: which group to join,
// that a login is still needed, or that only the owner may open it.
#pragma once

#include <string>

namespace devices {

struct DeviceAccess {
    std::string owner;              // the device's owner, by name
    std::string group;              // the device's group, by name
    bool userIsOwner = false;       // this process runs as the owner
    bool groupMayUse = false;       // the group may read and write it
    bool othersMayUse = false;      // everyone may read and write it
    bool sessionHasGroup = false;   // this process runs with that group
    bool userListedInGroup = false; // the group database lists the user in it
};

// The advice after "permission denied"; empty when there is none to give.
[[nodiscard]] std::string PermissionAdvice(const DeviceAccess &access);

// Reads the device's owner, group and mode and the user's groups.
[[nodiscard]] DeviceAccess LookUpAccess(const std::string &device);

} // namespace devices
