// The file the card's output is appended to, raw. Writes go straight to the
// kernel, so the file on disk is never behind by more than one read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace portlink {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Creates or appends to `name`, relative to the current folder. On
    // failure the file stays closed and `why` says what went wrong.
    [[nodiscard]] bool open(const std::string &name, std::string &why);
    void close();

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    [[nodiscard]] const std::string &name() const { return name_; }

    // Appends every byte or fails with `why` set.
    [[nodiscard]] bool append(std::span<const std::uint8_t> bytes, std::string &why);

private:
    int fd_ = -1;
    std::string name_;
};

} // namespace portlink
