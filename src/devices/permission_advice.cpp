#include "permission_advice.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace devices {

namespace {

constexpr std::size_t kNameBuffer = 16384;

std::string GroupName(gid_t gid)
{
    std::vector<char> buffer(kNameBuffer);
    group entry {};
    group *found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(gid);
}

std::string UserName(uid_t uid)
{
    std::vector<char> buffer(kNameBuffer);
    passwd entry {};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return std::to_string(uid);
}

bool SessionHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// What the group database says now, which a running session does not see
// until the user logs in again.
bool UserListedInGroup(gid_t gid)
{
    std::vector<char> buffer(kNameBuffer);
    passwd entry {};
    passwd *user = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &user) != 0 || !user)
        return false;
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 4; ++attempt) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), gid) != groups.end();
        }
    }
    return false;
}

} // namespace

std::string PermissionAdvice(const DeviceAccess &access)
{
    if (access.owner.empty())
        return {}; // the device could not be looked at
    if (access.userIsOwner)
        return "not even its owner may read and write it";
    if (access.groupMayUse && !access.sessionHasGroup) {
        if (access.userListedInGroup)
            return "the user was added to the group '" + access.group
                + "' that may use it, but this session does not have it yet: log out and in again";
        return "join the group '" + access.group + "' that may use it, then log out and in again";
    }
    if (!access.groupMayUse && !access.othersMayUse)
        return "only its owner ('" + access.owner + "') may open it";
    return {};
}

DeviceAccess LookUpAccess(const std::string &device)
{
    DeviceAccess access;
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return access;
    const auto readWrite = [&](mode_t read, mode_t write) { return (st.st_mode & read) && (st.st_mode & write); };
    access.owner = UserName(st.st_uid);
    access.group = GroupName(st.st_gid);
    access.userIsOwner = st.st_uid == geteuid();
    access.groupMayUse = readWrite(S_IRGRP, S_IWGRP);
    access.othersMayUse = readWrite(S_IROTH, S_IWOTH);
    access.sessionHasGroup = SessionHasGroup(st.st_gid);
    access.userListedInGroup = UserListedInGroup(st.st_gid);
    return access;
}

} // namespace devices
