// Recording stand-ins for the library and the message boxes, so tests see
// every call the tool makes and answer every question it asks.
#pragma once

#include "message_boxes.h"
#include "serial_library.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace testsupport {

class FakeSerialLibrary : public SerialLibrary {
public:
    // Every call, in order, as text: "Run", "OpenCommPort 3", "WriteToBoard 37" …
    std::vector<std::string> calls;
    std::string written;              // the bytes WriteToBoard accepted
    std::set<int> openablePorts {1};  // OpenCommPort succeeds for these
    std::set<std::string> openableDevices; // OpenCommDevice succeeds for these paths
    int failWriteAt = -1;             // the n-th WriteToBoard call (0-based) fails, and every later one
    int writeCalls = 0;
    std::deque<bool> sendingAnswers;  // IsSendingData answers; false once empty
    bool logging = false;
    std::string logName;
    bool refuseLog = false;           // StartLogging cannot open the file
    bool portOpen = false;
    std::string openError = "no such device"; // GetOpenError's answer after a failed open
    bool lastOpenFailed = false;
    bool runFails = false;            // Run could not start the reader
    std::optional<std::string> logError; // GetLogError's answer
    bool configureFails = false;      // the device refuses the line settings
    bool sameDevice = true;           // ReopenCommPort finds the device that went away
    using Openable = std::variant<int, std::string>; // COM n, or a device by its path
    Openable lastOpened {0};          // what ReopenCommPort opens again

    bool Run() override
    {
        calls.push_back("Run");
        return !runFails;
    }
    bool OpenCommPort(std::int16_t port) override
    {
        calls.push_back("OpenCommPort " + std::to_string(port));
        return Opened(port, true);
    }
    bool OpenCommDevice(const std::string &path) override
    {
        calls.push_back("OpenCommDevice " + path);
        return Opened(path, true);
    }
    bool ReopenCommPort() override
    {
        calls.push_back("ReopenCommPort");
        return Opened(lastOpened, sameDevice);
    }
    bool ConfigureOpenComPort() override
    {
        calls.push_back("ConfigureOpenComPort");
        lastOpenFailed = portOpen && configureFails;
        return portOpen && !configureFails;
    }
    void CloseCommPort() override
    {
        calls.push_back("CloseCommPort");
        portOpen = false;
    }
    bool WriteToBoard(std::uint8_t byte) override
    {
        calls.push_back("WriteToBoard " + std::to_string(byte));
        const bool ok = portOpen && lineUp && (failWriteAt < 0 || writeCalls < failWriteAt);
        ++writeCalls;
        if (ok) {
            written.push_back(static_cast<char>(byte));
            unconfirmed_ = true;
        }
        return ok;
    }
    bool IsSendingData() override
    {
        calls.push_back("IsSendingData");
        if (!portOpen || !lineUp)
            return false;
        const bool answer = !sendingAnswers.empty() && sendingAnswers.front();
        if (!sendingAnswers.empty())
            sendingAnswers.pop_front();
        if (!answer)
            unconfirmed_ = false; // all seen gone while the line was up
        return answer;
    }
    // The card's end of the line closes, as the library sees it: bytes
    // accepted and not yet seen gone are lost with it, and never otherwise.
    void HangUp()
    {
        if (portOpen && lineUp && unconfirmed_)
            lostData_ = true;
        unconfirmed_ = false;
        lineUp = false;
    }
    void StartLogging(const std::string &name) override
    {
        calls.push_back("StartLogging " + name);
        logging = !refuseLog;
        logName = refuseLog ? std::string() : name;
    }
    void StopLogging() override
    {
        calls.push_back("StopLogging");
        logging = false;
    }
    bool IsLogging() override { return logging; }
    std::optional<std::string> GetLogFileName() override
    {
        if (logName.empty())
            return std::nullopt;
        return logName;
    }
    std::string cardSays; // what ReadByteFromBoard hands out, byte by byte
    bool ReadByteFromBoard(std::uint8_t &byte, std::int32_t) override
    {
        if (cardSays.empty())
            return false;
        byte = static_cast<std::uint8_t>(cardSays.front());
        cardSays.erase(0, 1);
        return true;
    }
    // Queries, not recorded: the window asks them on every readiness check.
    bool IsLineUp() override { return portOpen && lineUp; }
    bool HasLostData() override { return lostData_; }
    std::optional<std::string> GetOpenError() override
    {
        if (!lastOpenFailed)
            return std::nullopt;
        return openError;
    }
    std::optional<std::string> GetLogError() override { return logError; }

    // Opens `what` when it is openable and, for a reopen, still the same device.
    bool Opened(const Openable &what, bool same)
    {
        const auto *port = std::get_if<int>(&what);
        const bool ok = same
            && (port ? openablePorts.count(*port) : openableDevices.count(std::get<std::string>(what))) != 0;
        portOpen = ok;
        lastOpenFailed = !ok;
        if (ok) {
            lastOpened = what;
            lineUp = true;
            lostData_ = false;
            unconfirmed_ = false;
        }
        return ok;
    }

private:
    bool lineUp = true;        // false once the open port's line has hung up
    bool unconfirmed_ = false; // accepted, not yet seen gone
    bool lostData_ = false;

public:
    // How many calls begin with `prefix`.
    [[nodiscard]] int Count(const std::string &prefix) const
    {
        int n = 0;
        for (const auto &c : calls)
            n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
};

class FakeMessageBoxes : public MessageBoxes {
public:
    std::vector<std::string> shown;   // reports and questions, in order
    std::vector<std::string> details; // one per report or question, empty when none
    std::deque<bool> answers;         // answers to questions; No once empty
    std::function<void(const std::string &)> onShow; // runs while the box is "open"

protected:
    void ShowReport(const std::string &text, const std::string &detail) override
    {
        shown.push_back(text);
        details.push_back(detail);
        if (onShow)
            onShow(text);
    }
    bool ShowQuestion(const std::string &text) override
    {
        details.emplace_back();
        shown.push_back(text);
        if (onShow)
            onShow(text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace testsupport
