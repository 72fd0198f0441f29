// The technician's answers in the main window, as plain data: the window
// reads its controls into this once, and every rule works on it.
#pragma once

#include "command_lines.h"

#include <array>
#include <string>

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
