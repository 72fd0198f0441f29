// Opening a file that the user named, only where the user meant: the path is
// walked one part at a time, never through a symbolic link that another user
// made, and never into a file that another user planted for us to write.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>

namespace devices {

// Owns a descriptor.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle &operator=(FileHandle &&other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    [[nodiscard]] int Get() const { return fd_; }
    [[nodiscard]] int Release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Opens `path` (relative to the current folder) for appending, creating it
// (0666 less the umask) when missing, non-blocking, never truncating. A
// symbolic link, in the path or at its end, is followed only when the user
// or root made it. An existing file is refused when it belongs to another
// user and either lies in a shared folder (group- or world-writable, with
// the sticky bit) whose owner is not that user, or has more than one hard
// link. On failure the handle is empty and `why` says why, on one line.
[[nodiscard]] FileHandle OpenForAppend(const std::string &path, std::string &why);

// The folder that holds the last part of `path`, reached as OpenForAppend
// reaches it (a descriptor for the *at calls), and that last part.
struct FolderEntry {
    FileHandle folder;
    std::string name;
};
[[nodiscard]] std::optional<FolderEntry> OpenFolderOf(const std::string &path, std::string &why);

// Opens the regular file `name` in `folder` for writing, without truncating
// it, or creates it with `mode` (less the umask) and sets `created`. Refuses
// a link, anything but a regular file, and another user's file as above.
[[nodiscard]] FileHandle OpenFileIn(int folder, const std::string &name, mode_t mode, bool &created,
                                    std::string &why);

// Why a file renamed onto `name` in `folder` must not replace what is there:
// something other than a regular file, or another user's file as above.
// Empty when nothing is there or it may be replaced.
[[nodiscard]] std::string WhyNotReplace(int folder, const std::string &name);

} // namespace devices
