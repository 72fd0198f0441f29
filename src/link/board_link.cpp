#include "board_link.h"

#include "serial_library.h"

BoardLink::BoardLink(SerialLibrary &library) : library_(library) {}

bool BoardLink::Start() { return library_.Run(); }

PortOpening BoardLink::SelectComPort(std::int16_t port) { return Select(port); }

PortOpening BoardLink::SelectDevice(const std::string &path) { return Select(path); }

std::int16_t BoardLink::GetComPort() const
{
    const auto *port = std::get_if<std::int16_t>(&selected_);
    return port ? *port : std::int16_t {0};
}

PortOpening BoardLink::Select(Selection chosen)
{
    if (chosen != selected_) {
        selected_ = std::move(chosen);
        // The card that went away is not looked for on another port.
        awaitingCard_ = false;
        if (portOpen_) {
            library_.CloseCommPort();
            portOpen_ = false;
        }
    }
    NoticeLostLine();
    if (portOpen_)
        return {true, {}};
    // Opened by name, its port could now lead to another device: the
    // built-in port, the console, someone else's terminal.
    if (awaitingCard_)
        return TryReopen() ? PortOpening {true, {}} : PortOpening {false, {}, true};
    if (OpenSelectedPort())
        return {true, {}};
    return {false, library_.GetOpenError().value_or("")};
}

bool BoardLink::OpenSelectedPort()
{
    const auto *port = std::get_if<std::int16_t>(&selected_);
    portOpen_ = (port ? library_.OpenCommPort(*port) : library_.OpenCommDevice(std::get<std::string>(selected_)))
        && Configured();
    if (portOpen_)
        awaitingCard_ = false;
    return portOpen_;
}

bool BoardLink::Configured()
{
    // A port left at other line settings would garble every byte: not open.
    if (library_.ConfigureOpenComPort())
        return true;
    library_.CloseCommPort();
    return false;
}

void BoardLink::NoticeLostLine()
{
    if (portOpen_ && !library_.IsLineUp()) {
        library_.CloseCommPort();
        portOpen_ = false;
        awaitingCard_ = true;
    }
}

bool BoardLink::TryReopen()
{
    if (!awaitingCard_)
        return false;
    // Only the device that went away, never another that took its name.
    portOpen_ = library_.ReopenCommPort() && Configured();
    if (portOpen_)
        awaitingCard_ = false;
    return portOpen_;
}

void BoardLink::ClosePort()
{
    library_.CloseCommPort();
    portOpen_ = false;
    awaitingCard_ = false;
}

bool BoardLink::SendToGateway(std::string_view line)
{
    for (const char c : line) {
        if (!library_.WriteToBoard(static_cast<std::uint8_t>(c)))
            return false;
        ++bytesTaken_;
    }
    return true;
}

bool BoardLink::IsSending() { return library_.IsSendingData(); }

bool BoardLink::LostData() { return library_.HasLostData(); }

std::optional<std::uint8_t> BoardLink::ReadFromCard(std::chrono::milliseconds wait)
{
    std::uint8_t byte = 0;
    if (!library_.ReadByteFromBoard(byte, static_cast<std::int32_t>(wait.count())))
        return std::nullopt;
    return byte;
}

bool BoardLink::StartLogging(const std::string &fileName)
{
    library_.StartLogging(fileName);
    return IsLogging();
}

void BoardLink::StopLogging() { library_.StopLogging(); }

bool BoardLink::IsLogging() { return library_.IsLogging(); }

std::optional<std::string> BoardLink::LogFileName() { return library_.GetLogFileName(); }

std::optional<std::string> BoardLink::LogError() { return library_.GetLogError(); }
