#include "section_rules.h"

#include "answers.h"

namespace section_rules {

void ProtocolChosen(const Answers &a, WindowSections &w)
{
    const bool nbxAsked = a.moreThanOneNbx || a.remoteNbx;
    switch (a.protocol) {
    case Protocol::Ethernet:
        w.EnableDHCPChoice(false);
        w.EnableIPSettings(false);
        w.CheckIfButtonEnabled();
        // Under Ethernet a local NBX is found by its MAC address alone.
        w.EnableNBXMacAddress(a.moreThanOneNbx);
        w.EnableNBXIPAddress(false);
        w.EnableRemoteChoice(false);
        break;
    case Protocol::IPOnTheFly:
        if (nbxAsked)
            w.EnableNBXAddress(true);
        w.EnableDHCPChoice(a.remoteNbx);
        if (!a.remoteNbx)
            w.EnableIPSettings(false);
        else if (!a.dhcpServer)
            w.EnableIPSettings(true);
        w.CheckIfButtonEnabled();
        w.EnableRemoteChoice(true);
        break;
    case Protocol::StandardIP:
        w.EnableDHCPChoice(true);
        w.EnableIPSettings(!a.dhcpServer);
        w.CheckIfButtonEnabled();
        if (nbxAsked)
            w.EnableNBXAddress(true);
        w.EnableRemoteChoice(true);
        break;
    case Protocol::None:
        break;
    }
}

void DHCPServerAnswered(const Answers &a, WindowSections &w)
{
    w.CheckIfButtonEnabled();
    w.EnableIPSettings(!a.dhcpServer);
}

void MoreThanOneNBXAnswered(const Answers &a, WindowSections &w)
{
    if (a.moreThanOneNbx) {
        if (a.protocol == Protocol::Ethernet) {
            w.EnableNBXMacAddress(true);
            w.EnableNBXIPAddress(false);
        } else {
            w.EnableNBXAddress(true);
        }
    } else if (a.protocol == Protocol::Ethernet || !a.remoteNbx) {
        // A remote NBX under another protocol still needs both addresses.
        w.EnableNBXAddress(false);
    }
    w.CheckIfButtonEnabled();
}

void RemoteNBXAnswered(const Answers &a, WindowSections &w)
{
    if (a.remoteNbx) {
        if (a.protocol == Protocol::IPOnTheFly || a.protocol == Protocol::StandardIP) {
            w.EnableDHCPChoice(true);
            w.EnableIPSettings(!a.dhcpServer);
        }
        w.EnableNBXAddress(true);
    } else {
        if (!a.moreThanOneNbx)
            w.EnableNBXAddress(false);
        if (a.protocol == Protocol::StandardIP) {
            w.EnableDHCPChoice(true);
            if (!a.dhcpServer)
                w.EnableIPSettings(true);
        } else if (a.protocol == Protocol::Ethernet || a.protocol == Protocol::IPOnTheFly) {
            w.EnableDHCPChoice(false);
            w.EnableIPSettings(false);
        }
    }
    w.CheckIfButtonEnabled();
}

} // namespace section_rules
