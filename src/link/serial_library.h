// The tool's view of the serial-interface library: the calls the board link,
// the main window and the dialog make. The real one is loaded at run time;
// tests hand in a recording fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class SerialLibrary {
public:
    virtual ~SerialLibrary() = default;

    // False when the library could not start reading the card's line.
    [[nodiscard]] virtual bool Run() = 0;
    [[nodiscard]] virtual bool OpenCommPort(std::int16_t port) = 0;
    // Opens the serial device at `path` with the checks of a COM port's
    // device; ReopenCommPort then looks for it at that path alone.
    [[nodiscard]] virtual bool OpenCommDevice(const std::string &path) = 0;
    // Opens the port that went away again, only when it leads to the same
    // device as before, or its mapping was made anew.
    [[nodiscard]] virtual bool ReopenCommPort() = 0;
    // False when no port is open or the device refused the line settings.
    [[nodiscard]] virtual bool ConfigureOpenComPort() = 0;
    virtual void CloseCommPort() = 0;
    // Always passes the library's 150 ms wait limit.
    [[nodiscard]] virtual bool WriteToBoard(std::uint8_t byte) = 0;
    [[nodiscard]] virtual bool IsSendingData() = 0;
    virtual void StartLogging(const std::string &fileName) = 0;
    virtual void StopLogging() = 0;
    [[nodiscard]] virtual bool IsLogging() = 0;
    // The current log file name, or nothing when the library wrote none.
    [[nodiscard]] virtual std::optional<std::string> GetLogFileName() = 0;
    // The next byte the card sent, waiting up to `timeoutMs`; false when none came.
    [[nodiscard]] virtual bool ReadByteFromBoard(std::uint8_t &byte, std::int32_t timeoutMs) = 0;
    // False once the open port's line has hung up or its device failed, and
    // while no port is open.
    [[nodiscard]] virtual bool IsLineUp() = 0;
    // True when bytes WriteToBoard had accepted were dropped by a failing
    // line; stays so until the next OpenCommPort or OpenCommDevice.
    [[nodiscard]] virtual bool HasLostData() = 0;
    // Why the last OpenCommPort, OpenCommDevice, ReopenCommPort or
    // ConfigureOpenComPort failed; nothing after a successful open.
    [[nodiscard]] virtual std::optional<std::string> GetOpenError() = 0;
    // Why logging stopped by itself ("No space left on device"), or the last
    // StartLogging failed; nothing when it has not since StartLogging.
    [[nodiscard]] virtual std::optional<std::string> GetLogError() = 0;
};

inline constexpr std::int32_t kWriteWaitMs = 150;
