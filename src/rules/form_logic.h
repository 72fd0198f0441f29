// The main window's rules as plain C++: what the answers require before
// Configure may be pressed, which lines Configure sends, which addresses
// are well formed, and how the option buttons switch the window's sections.
#pragma once

#include "gateway_commands.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char *kNoCountry = "  <Select Country>";

// The window's answers and box texts, as the controls hold them.
struct FormAnswers {
    bool option1 = false; // "Ethernet"
    bool option2 = false; // "IP On the Fly"
    bool option3 = false; // "Standard IP"
    bool dhcpYes = false;
    bool dhcpNo = true;
    bool nbxYes = false;
    bool nbxNo = true;
    bool remoteYes = false;
    bool remoteNo = true;
    std::array<std::string, 4> ip, subnet, gateway, nbxIp;
    bool nbxIpOpen = true; // the NBX IP row takes input; when closed it keeps what was typed before
    std::array<std::string, 6> mac;
    std::string country = kNoCountry;
    CheckState check1 = CheckState::Checked;
    CheckState check2 = CheckState::Unchecked;
};

// Rules A, B and C together: every address that the answers call for is
// filled. The port's state is the caller's to add.
[[nodiscard]] bool RequiredEntriesFilled(const FormAnswers &a);

[[nodiscard]] std::string CardIPAddress(const FormAnswers &a);
[[nodiscard]] std::string CardSubnet(const FormAnswers &a);
[[nodiscard]] std::string CardGateway(const FormAnswers &a);
// "0.0.0.0" whenever the first NBX box is empty, and for a row closed to
// input that holds no valid address.
[[nodiscard]] std::string NBXIPAddress(const FormAnswers &a);
[[nodiscard]] std::string NBXMacAddress(const FormAnswers &a);

// The lines Configure writes, "%CB" first and "%CE" last.
[[nodiscard]] std::vector<std::string> ConfigurationLines(const FormAnswers &a);

struct SentAddress {
    std::string name;  // as the user knows it: "IP Address", "NBX MAC Address" …
    std::string value; // as it would go to the card
    bool mac = false;
};
// The addresses that ConfigurationLines would send, in sending order.
[[nodiscard]] std::vector<SentAddress> AddressesToSend(const FormAnswers &a);

[[nodiscard]] bool IsValidDottedAddress(const std::string &text);
[[nodiscard]] bool IsValidMacAddress(const std::string &text);
// "Not a valid IP Address: 999.0.0.5" for the first malformed address that
// Configure would send, nothing when all are well formed.
[[nodiscard]] std::optional<std::string> MalformedAddressMessage(const FormAnswers &a);

// The progress line for one tick of a send: counts `ticks` up, wrapping
// after 24 dots, and returns "Sending Data " with that many ". ".
[[nodiscard]] std::string NextProgressCaption(int &ticks);

// The sections the option buttons switch, as the main window provides them.
class WindowSections {
public:
    virtual ~WindowSections() = default;
    virtual void EnableIPSettings(bool enabled) = 0;
    virtual void EnableDHCPChoice(bool enabled) = 0;
    virtual void EnableNBXIPAddress(bool enabled) = 0;
    virtual void EnableNBXMacAddress(bool enabled) = 0;
    virtual void EnableRemoteChoice(bool enabled) = 0;
    virtual void CheckIfButtonEnabled() = 0;

    void EnableNBXAddress(bool enabled)
    {
        EnableNBXIPAddress(enabled);
        EnableNBXMacAddress(enabled);
    }
};

// What each option button does once it has become selected. `a` holds the
// selections at that moment; the handlers change no selection or text.
namespace option_rules {
void DHCPYes_Click(const FormAnswers &a, WindowSections &w);
void DHCPNo_Click(const FormAnswers &a, WindowSections &w);
void NBXYes_Click(const FormAnswers &a, WindowSections &w);
void NBXNo_Click(const FormAnswers &a, WindowSections &w);
void Option1_Click(const FormAnswers &a, WindowSections &w);
void Option2_Click(const FormAnswers &a, WindowSections &w);
void Option3_Click(const FormAnswers &a, WindowSections &w);
void RemoteYes_Click(const FormAnswers &a, WindowSections &w);
void RemoteNo_Click(const FormAnswers &a, WindowSections &w);
} // namespace option_rules
