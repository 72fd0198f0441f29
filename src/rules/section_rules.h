// Which sections of the main window take input, as each answer changes.
// They are switched, not derived: what is open depends on the order in
// which the answers came.
#pragma once

struct Answers;

struct Sections {
    bool dhcpChoice = false;   // the DHCP question, and the frame around the card's own rows
    bool ipSettings = false;   // the card's own rows (IP address, subnet, gateway)
    bool nbxIp = false;        // the NBX IP row
    bool nbxMac = false;       // the NBX MAC row
    bool remoteChoice = false; // the remote-NBX question
};

// Each runs once the answer it names has changed; `a` holds the answers at
// that moment. None changes an answer or a text.
namespace section_rules {
void ProtocolChosen(const Answers &a, Sections &s);
void DHCPServerAnswered(const Answers &a, Sections &s);
void MoreThanOneNBXAnswered(const Answers &a, Sections &s);
void RemoteNBXAnswered(const Answers &a, Sections &s);
} // namespace section_rules
