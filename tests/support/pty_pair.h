// A pseudo-terminal pair that stands for the card's end of the serial line,
// and a private device folder in which comN links point at such pairs.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class PtyPair {
public:
    // Kept: this process holds the device side open until someone opens it.
    // Unopened: never opened here, for a device that another process opens,
    // since the library refuses a device that any other process has open.
    enum class Slave { Kept, Unopened };

    // Raw mode on both ends; throws std::runtime_error on failure.
    explicit PtyPair(Slave slave = Slave::Kept);
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // The device the library opens (the slave side).
    [[nodiscard]] const std::string &DevicePath() const { return slavePath_; }
    // The card's side.
    [[nodiscard]] int CardFd() const { return masterFd_; }

    // Reads from the card's side until `count` bytes came or `timeout` passed.
    [[nodiscard]] std::string ReadExactly(std::size_t count,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads whatever arrives until nothing more comes for `quiet`.
    [[nodiscard]] std::string ReadUntilQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(200),
                                             std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Writes from the card's side, as the card answering.
    void Write(const std::string &bytes);
    // Closes the card's side: the line hangs up.
    void HangUp();

private:
    int masterFd_ = -1;
    int slaveKeepFd_ = -1; // keeps the slave alive until someone opens it
    std::string slavePath_;
};

// Another process that plainly has `device` open, as a terminal program
// would: `sleep` with it as standard input, killed with the object.
class DeviceHolder {
public:
    explicit DeviceHolder(const std::string &device); // throws std::runtime_error on failure
    ~DeviceHolder();
    DeviceHolder(const DeviceHolder &) = delete;
    DeviceHolder &operator=(const DeviceHolder &) = delete;
    [[nodiscard]] int Pid() const { return pid_; }

private:
    int pid_ = -1;
};

// A temporary folder set as $PORTLINK_DEVICE_DIR for the life of the object.
class DeviceDir {
public:
    DeviceDir();
    ~DeviceDir();
    DeviceDir(const DeviceDir &) = delete;
    DeviceDir &operator=(const DeviceDir &) = delete;

    [[nodiscard]] const std::filesystem::path &Path() const { return path_; }
    // Makes COM `port` name `device` (a symbolic link comN -> device).
    void Map(int port, const std::string &device);
    void Unmap(int port);

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// A fresh temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    [[nodiscard]] const std::filesystem::path &Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace testsupport
