// The file the card's output is appended to, raw. Writes go straight to the
// kernel, so the file on disk is never behind by more than one read.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace portlink {

class LogFile {
public:
    // `checkEvery`: how often Append() and Check() look whether the file is
    // still the one at its path.
    explicit LogFile(std::chrono::milliseconds checkEvery = std::chrono::seconds(1)) : checkEvery_(checkEvery) {}
    ~LogFile() { Close(); }
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Creates or appends to `name`, relative to the current folder, as
    // devices::OpenForAppend opens it: through no link of another user but
    // root, into no file another user planted. On failure the file stays
    // closed and `why` says what went wrong.
    [[nodiscard]] bool Open(const std::string &name, std::string &why);
    void Close();

    [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
    [[nodiscard]] const std::string &Name() const { return name_; }

    // Appends every byte or fails with `why` set; a write cut short is
    // carried on, and fails when the next part cannot be written. A file
    // deleted or moved away since the last look is made again at its path
    // first.
    [[nodiscard]] bool Append(std::span<const std::uint8_t> bytes, std::string &why);
    // The same, without bytes: for a card that sends nothing. Fails with
    // `why` set when the file could not be made again.
    [[nodiscard]] bool Check(std::string &why);
    // How long until Check() next looks; at most `checkEvery`.
    [[nodiscard]] std::chrono::milliseconds UntilCheck() const;

private:
    [[nodiscard]] bool FollowPath(std::string &why);

    int fd_ = -1;
    std::string name_; // as given
    std::string path_; // absolute, as the name resolved when opened
    std::chrono::milliseconds checkEvery_;
    std::chrono::steady_clock::time_point nextCheck_ {};
};

} // namespace portlink
