#include "replace_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace devices {

int ReplaceLink(const std::string &target, const std::filesystem::path &link)
{
    const std::filesystem::path temporary =
        link.parent_path() / ("." + link.filename().string() + ".new-" + std::to_string(getpid()));
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0)
        return errno;
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    return 0;
}

} // namespace devices
