// The tool's single connection to the card: which COM port is selected,
// whether it is open, and writing one command line byte by byte.
#pragma once

#include <cstdint>
#include <string_view>

class MessageBoxes;
class SerialLibrary;

class BoardLink {
public:
    BoardLink(SerialLibrary &library, MessageBoxes &boxes);

    // Records `port`; closes the old port when the number changes, then
    // opens the selected one unless it is already open.
    void SelectComPort(std::int16_t port);
    bool OpenSelectedPort();
    [[nodiscard]] std::int16_t GetComPort() const { return ComPort; }
    [[nodiscard]] bool IsPortOpen() const { return PortOpen; }

    // Writes every byte of `line`; at the first refused byte shows
    // "Error writing to Gateway", drops the rest and returns false.
    [[nodiscard]] bool SendToGateway(std::string_view line);

    SerialLibrary &library() { return library_; }

private:
    SerialLibrary &library_;
    MessageBoxes &boxes_;
    std::int16_t ComPort = 0;
    bool PortOpen = false;
};
