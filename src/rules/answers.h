// The technician's answers in the main window, as plain data, and the one
// table of its address rows: every rule works on these.
#pragma once

#include "command_lines.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

inline constexpr const char *kNoCountry = "  <Select Country>";

// The protocol configured on the chosen NBX. None only before the first
// choice, while the window is being built.
enum class Protocol { None, Ethernet, IPOnTheFly, StandardIP };

struct Answers {
    Protocol protocol = Protocol::None;
    bool dhcpServer = false;     // a DHCP server assigns the card its address
    bool moreThanOneNbx = false; // more than one NBX broadcasts to this network
    bool remoteNbx = false;      // the NBX is on a remote network
    std::array<std::string, 4> ip, subnet, gateway, nbxIp;
    bool nbxIpOpen = true; // the NBX IP row takes input; when closed it keeps what was typed before
    std::array<std::string, 6> mac;
    std::string country = kNoCountry;
    CheckState rememberAudio = CheckState::Checked;
    CheckState boostAudio = CheckState::Unchecked;
};

// The address rows, in the window's order.
enum class Row { Ip, Subnet, Gateway, NbxIp, NbxMac };

struct RowShape {
    Row row;
    std::string_view caption; // as the window and its messages name the row
    int boxes;
    bool hex;          // hexadecimal pairs and ':'; else decimal and '.'
    int boxLength;     // what each box but the last holds
    int lastBoxLength; // what the last box holds
    [[nodiscard]] int MaxLength(int index) const { return index == boxes - 1 ? lastBoxLength : boxLength; }
};

inline constexpr std::array<RowShape, 5> kRows = {{
    {Row::Ip, "IP Address", 4, false, 3, 3},
    {Row::Subnet, "Subnet", 4, false, 3, 3},
    {Row::Gateway, "Default gateway", 4, false, 3, 3},
    // The NBX row's boxes take a fourth digit, but typing moves on after three.
    {Row::NbxIp, "NBX IP Address", 4, false, 4, 3},
    {Row::NbxMac, "NBX MAC Address", 6, true, 2, 2},
}};

[[nodiscard]] constexpr const RowShape &ShapeOf(Row row) { return kRows[static_cast<std::size_t>(row)]; }

// The texts of a row's boxes, of Answers or const Answers.
template <typename A>
[[nodiscard]] auto TextsOf(A &a, Row row)
    -> std::span<std::conditional_t<std::is_const_v<A>, const std::string, std::string>>
{
    switch (row) {
    case Row::Ip:
        return a.ip;
    case Row::Subnet:
        return a.subnet;
    case Row::Gateway:
        return a.gateway;
    case Row::NbxIp:
        return a.nbxIp;
    case Row::NbxMac:
        break;
    }
    return a.mac;
}
