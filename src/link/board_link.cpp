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
        if (PortOpen) {
            library_.CloseCommPort();
            PortOpen = false;
        }
    }
    if (!PortOpen)
        OpenSelectedPort();
}

bool BoardLink::OpenSelectedPort()
{
    if (library_.OpenCommPort(ComPort)) {
        library_.ConfigureOpenComPort();
        PortOpen = true;
    } else {
        boxes_.Report("Failed to Open Com" + std::to_string(ComPort));
        PortOpen = false;
    }
    return PortOpen;
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
