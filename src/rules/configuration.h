// What Configure sends: which of the card's settings the answers call for,
// decided once, and from that the command lines and the addresses in them.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct Answers;

struct ConfigurationPlan {
    std::optional<bool> dhcpFlag;     // "%CP": whether a DHCP server assigns the address
    bool cardIPSettings = false;      // "%CI", "%CS", "%CG": the card's own addresses
    std::optional<bool> onTheFlyFlag; // "%CF"
    bool nbxAddress = false;          // "%CN", "%CM"
};

[[nodiscard]] ConfigurationPlan PlanConfiguration(const Answers &a);

[[nodiscard]] std::string CardIPAddress(const Answers &a);
[[nodiscard]] std::string CardSubnet(const Answers &a);
[[nodiscard]] std::string CardGateway(const Answers &a);
// "0.0.0.0" whenever the first NBX box is empty, and for a row closed to
// input whose leftover text is not a valid address.
[[nodiscard]] std::string NBXIPAddress(const Answers &a);
[[nodiscard]] std::string NBXMacAddress(const Answers &a);

// The lines Configure writes, "%CB" first and "%CE" last.
[[nodiscard]] std::vector<std::string> ConfigurationLines(const Answers &a);

struct SentAddress {
    std::string name;  // as the user knows it: "IP Address", "NBX MAC Address" …
    std::string value; // as it goes to the card
    bool mac = false;
};
// The addresses that ConfigurationLines sends, in sending order.
[[nodiscard]] std::vector<SentAddress> AddressesToSend(const Answers &a);

// "Not a valid IP Address: 999.0.0.5" for the first malformed address that
// Configure would send, nothing when all are well formed.
[[nodiscard]] std::optional<std::string> MalformedAddressMessage(const Answers &a);

// The progress line for one tick of a send: counts `ticks` up, wrapping
// after 24 dots, and returns "Sending Data " with that many ". ".
[[nodiscard]] std::string NextProgressCaption(int &ticks);
