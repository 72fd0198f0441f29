// The tool's single connection to the card: which COM port or device is
// selected, whether it is open, writing one command line byte by byte, and
// the log of what the card answers. It reports outcomes; the windows decide
// what to show.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

class SerialLibrary;

// What opening the selected port came to.
struct PortOpening {
    bool open = false;
    std::string why;       // when not open: the library's reason, or empty
    bool awaiting = false; // not open, and its card is still awaited: no failure to report
};

class BoardLink {
public:
    explicit BoardLink(SerialLibrary &library);

    // Starts the library's reader of the card's line; false when it could not.
    [[nodiscard]] bool Start();

    // Records `port`; closes the old port when the choice changes, then
    // opens the selected one unless it is open on a live line. The same
    // port while its card is awaited is only opened again as that card.
    [[nodiscard]] PortOpening SelectComPort(std::int16_t port);
    // The same for the serial device at `path`, as the library opens it by
    // its path.
    [[nodiscard]] PortOpening SelectDevice(const std::string &path);
    // The selected COM port; 0 while a device is selected by its path.
    [[nodiscard]] std::int16_t GetComPort() const;
    // True while the selected port is open and configured.
    [[nodiscard]] bool IsPortOpen() const { return portOpen_; }
    // Closes the port when the library says its line has gone (the card's
    // end closed, the adapter unplugged); the link then awaits the card.
    void NoticeLostLine();
    // The selected port is closed because its line went away, not because
    // the user's choice failed to open.
    [[nodiscard]] bool IsAwaitingCard() const { return awaitingCard_; }
    // While awaiting the card: opens the selected port again, quietly, and
    // only when it leads to the same device as before or its mapping was
    // made anew. True when it opened.
    bool TryReopen();
    // Closes the port for good, as the window closes: no card is awaited.
    void ClosePort();

    // Writes every byte of `line`; false at the first refused byte, with
    // the rest dropped.
    [[nodiscard]] bool SendToGateway(std::string_view line);
    // Every byte the library took from SendToGateway over this link's life,
    // a line cut short by a failure included: all of them go to the card.
    [[nodiscard]] std::size_t BytesTaken() const { return bytesTaken_; }
    // True while written bytes have not yet left for the card.
    [[nodiscard]] bool IsSending();
    // True when bytes that had been written were dropped by a failing line.
    [[nodiscard]] bool LostData();

    // The next byte the card sent within `wait`; nothing when none came.
    [[nodiscard]] std::optional<std::uint8_t> ReadFromCard(std::chrono::milliseconds wait);

    // Logs what the card sends to `fileName`; false when the file did not open.
    [[nodiscard]] bool StartLogging(const std::string &fileName);
    void StopLogging();
    [[nodiscard]] bool IsLogging();
    // The file being logged to, as it was given; nothing when not logging.
    [[nodiscard]] std::optional<std::string> LogFileName();
    // Why logging stopped by itself, or the last StartLogging failed, in the
    // library's words; nothing when it has not.
    [[nodiscard]] std::optional<std::string> LogError();

private:
    // COM n, or a device by its path.
    using Selection = std::variant<std::int16_t, std::string>;

    [[nodiscard]] PortOpening Select(Selection chosen);
    bool OpenSelectedPort();
    // Configures the port just opened; closes it when the device refuses.
    bool Configured();

    SerialLibrary &library_;
    Selection selected_ {std::int16_t {0}};
    bool portOpen_ = false;
    bool awaitingCard_ = false;
    std::size_t bytesTaken_ = 0;
};
