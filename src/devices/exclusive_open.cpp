#include "exclusive_open.h"

#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace devices {

int LockAgainstOthers(int fd)
{
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

int HoldExclusively(int fd)
{
    if (const int error = LockAgainstOthers(fd); error != 0)
        return error;
    return ioctl(fd, TIOCEXCL) == 0 ? 0 : errno;
}

} // namespace devices
