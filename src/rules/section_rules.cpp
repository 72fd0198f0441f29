#include "section_rules.h"

#include "answers.h"

namespace section_rules {

namespace {

void SetNBXAddress(Sections &s, bool open) { s.nbxIp = s.nbxMac = open; }

} // namespace

void ProtocolChosen(const Answers &a, Sections &s)
{
    const bool nbxAsked = a.moreThanOneNbx || a.remoteNbx;
    switch (a.protocol) {
    case Protocol::Ethernet:
        s.dhcpChoice = false;
        s.ipSettings = false;
        // Under Ethernet a local NBX is found by its MAC address alone.
        s.nbxMac = a.moreThanOneNbx;
        s.nbxIp = false;
        s.remoteChoice = false;
        break;
    case Protocol::IPOnTheFly:
        if (nbxAsked)
            SetNBXAddress(s, true);
        s.dhcpChoice = a.remoteNbx;
        if (!a.remoteNbx)
            s.ipSettings = false;
        else if (!a.dhcpServer)
            s.ipSettings = true;
        s.remoteChoice = true;
        break;
    case Protocol::StandardIP:
        s.dhcpChoice = true;
        s.ipSettings = !a.dhcpServer;
        if (nbxAsked)
            SetNBXAddress(s, true);
        s.remoteChoice = true;
        break;
    case Protocol::None:
        break;
    }
}

void DHCPServerAnswered(const Answers &a, Sections &s) { s.ipSettings = !a.dhcpServer; }

void MoreThanOneNBXAnswered(const Answers &a, Sections &s)
{
    if (a.moreThanOneNbx) {
        if (a.protocol == Protocol::Ethernet) {
            s.nbxMac = true;
            s.nbxIp = false;
        } else {
            SetNBXAddress(s, true);
        }
    } else if (a.protocol == Protocol::Ethernet || !a.remoteNbx) {
        // A remote NBX under another protocol still needs both addresses.
        SetNBXAddress(s, false);
    }
}

void RemoteNBXAnswered(const Answers &a, Sections &s)
{
    if (a.remoteNbx) {
        if (a.protocol == Protocol::IPOnTheFly || a.protocol == Protocol::StandardIP) {
            s.dhcpChoice = true;
            s.ipSettings = !a.dhcpServer;
        }
        SetNBXAddress(s, true);
    } else {
        if (!a.moreThanOneNbx)
            SetNBXAddress(s, false);
        if (a.protocol == Protocol::StandardIP) {
            s.dhcpChoice = true;
            if (!a.dhcpServer)
                s.ipSettings = true;
        } else if (a.protocol == Protocol::Ethernet || a.protocol == Protocol::IPOnTheFly) {
            s.dhcpChoice = false;
            s.ipSettings = false;
        }
    }
}

} // namespace section_rules
