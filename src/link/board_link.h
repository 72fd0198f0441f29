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
    // opens the selected one unless it is open on a live line.
    void SelectComPort(std::int16_t port);
    bool OpenSelectedPort();
    [[nodiscard]] std::int16_t GetComPort() const { return ComPort; }
    // True while the selected port is open and the library says its line is
    // up. A line that has gone (the card's end closed, the adapter
    // unplugged) closes the port here, and the link then awaits the card.
    [[nodiscard]] bool IsPortOpen();
    // The selected port is closed because its line went away, not because
    // the user's choice failed to open.
    [[nodiscard]] bool IsAwaitingCard() const { return awaitingCard_; }
    // While awaiting the card: opens the selected port again, without a
    // box when it fails, and only when it leads to the same device as
    // before or its mapping was made anew. True when it opened.
    bool TryReopen();
    // Closes the port for good, as the window closes: no card is awaited.
    void ClosePort();

    // Writes every byte of `line`; at the first refused byte shows
    // "Error writing to Gateway", drops the rest and returns false.
    [[nodiscard]] bool SendToGateway(std::string_view line);

    SerialLibrary &library() { return library_; }

private:
    bool OpenQuietly();
    // Configures the port just opened; closes it when the device refuses.
    bool Configured();

    SerialLibrary &library_;
    MessageBoxes &boxes_;
    std::int16_t ComPort = 0;
    bool PortOpen = false;
    bool awaitingCard_ = false;
};
