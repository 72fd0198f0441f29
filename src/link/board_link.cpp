#include "board_link.h"

#include "message_boxes.h"
#include "serial_library.h"

#include <string>

BoardLink::BoardLink(SerialLibrary &library, MessageBoxes &boxes)
    : library_(library), boxes_(boxes)
{
}

void BoardLink::SelectComPort(std::int16_t port)
{
    if (port != ComPort) {
        ComPort = port;
        // The card that went away is not looked for on another port.
        awaitingCard_ = false;
        if (PortOpen) {
            library_.CloseCommPort();
            PortOpen = false;
        }
    }
    if (!IsPortOpen())
        OpenSelectedPort();
}

bool BoardLink::OpenSelectedPort()
{
    if (OpenQuietly())
        return true;
    boxes_.Report("Failed to Open Com" + std::to_string(ComPort), library_.GetOpenError().value_or(""));
    return false;
}

bool BoardLink::OpenQuietly()
{
    PortOpen = library_.OpenCommPort(ComPort) && Configured();
    if (PortOpen)
        awaitingCard_ = false;
    return PortOpen;
}

bool BoardLink::Configured()
{
    // A port left at other line settings would garble every byte: not open.
    if (library_.ConfigureOpenComPort())
        return true;
    library_.CloseCommPort();
    return false;
}

bool BoardLink::IsPortOpen()
{
    if (PortOpen && !library_.IsLineUp()) {
        library_.CloseCommPort();
        PortOpen = false;
        awaitingCard_ = true;
    }
    return PortOpen;
}

bool BoardLink::TryReopen()
{
    if (!awaitingCard_)
        return false;
    // Only the device that went away, never another that took its name.
    PortOpen = library_.ReopenCommPort() && Configured();
    if (PortOpen)
        awaitingCard_ = false;
    return PortOpen;
}

void BoardLink::ClosePort()
{
    library_.CloseCommPort();
    PortOpen = false;
    awaitingCard_ = false;
}

bool BoardLink::SendToGateway(std::string_view line)
{
    for (const char c : line) {
        if (!library_.WriteToBoard(static_cast<std::uint8_t>(c))) {
            boxes_.Report("Error writing to Gateway");
            return false;
        }
    }
    return true;
}
