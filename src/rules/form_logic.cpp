#include "form_logic.h"

#include <algorithm>
#include <cctype>

namespace {

template <std::size_t N>
bool Filled(const std::array<std::string, N> &boxes)
{
    return std::none_of(boxes.begin(), boxes.end(), [](const std::string &t) { return t.empty(); });
}

template <std::size_t N>
std::string Join(const std::array<std::string, N> &boxes, char separator)
{
    std::string out = boxes[0];
    for (std::size_t i = 1; i < N; ++i) {
        out += separator;
        out += boxes[i];
    }
    return out;
}

bool OwnIPFilled(const FormAnswers &a)
{
    return Filled(a.ip) && Filled(a.subnet) && Filled(a.gateway);
}

// The card's own IP settings go out under "Standard IP" without DHCP, and
// under "IP On the Fly" with a remote NBX and without DHCP.
bool SendsCardIPSettings(const FormAnswers &a)
{
    if (a.option3)
        return !a.dhcpYes;
    if (a.option2)
        return a.remoteYes && !a.dhcpYes;
    return false;
}

bool SendsNBXAddress(const FormAnswers &a) { return a.nbxYes || a.remoteYes; }

std::vector<std::string> SplitOn(const std::string &text, char separator)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

} // namespace

bool RequiredEntriesFilled(const FormAnswers &a)
{
    const bool ruleA = !(a.option3 && a.dhcpNo) || OwnIPFilled(a);

    bool ruleB = true;
    if (a.nbxYes || a.remoteYes) {
        if (!a.remoteYes && a.option1)
            ruleB = Filled(a.mac);
        else
            ruleB = Filled(a.nbxIp) && Filled(a.mac);
    }

    bool ruleC = true;
    if (a.option1 || a.remoteNo)
        ruleC = true;
    else if (!a.remoteYes)
        ruleC = false;
    else if (!Filled(a.nbxIp) || !Filled(a.mac))
        ruleC = false;
    else if (a.dhcpNo)
        ruleC = OwnIPFilled(a);

    return ruleA && ruleB && ruleC;
}

std::string CardIPAddress(const FormAnswers &a) { return Join(a.ip, '.'); }
std::string CardSubnet(const FormAnswers &a) { return Join(a.subnet, '.'); }
std::string CardGateway(const FormAnswers &a) { return Join(a.gateway, '.'); }
std::string NBXIPAddress(const FormAnswers &a)
{
    if (a.nbxIp[0].empty())
        return "0.0.0.0";
    // A closed row keeps a fragment typed under another protocol, which the
    // user cannot mend there: it stands for no address, not a refusal.
    std::string typed = Join(a.nbxIp, '.');
    if (!a.nbxIpOpen && !IsValidDottedAddress(typed))
        return "0.0.0.0";
    return typed;
}
std::string NBXMacAddress(const FormAnswers &a) { return Join(a.mac, ':'); }

std::vector<std::string> ConfigurationLines(const FormAnswers &a)
{
    using namespace gateway;
    std::vector<std::string> lines {BeginConfigLine(), RemoteFlagLine(a.remoteYes)};
    const auto cardIP = [&] {
        lines.push_back(IPAddressLine(CardIPAddress(a)));
        lines.push_back(SubnetLine(CardSubnet(a)));
        lines.push_back(GatewayLine(CardGateway(a)));
    };

    if (a.option3) {
        lines.push_back(DHCPFlagLine(a.dhcpYes));
        if (!a.dhcpYes)
            cardIP();
    } else if (a.option2) {
        if (a.remoteYes) {
            lines.push_back(DHCPFlagLine(a.dhcpYes));
            if (!a.dhcpYes)
                cardIP();
        }
        lines.push_back(OnTheFlyFlagLine(true));
    } else {
        lines.push_back(DHCPFlagLine(false));
        lines.push_back(OnTheFlyFlagLine(false));
    }

    if (SendsNBXAddress(a)) {
        lines.push_back(NBXIPLine(NBXIPAddress(a)));
        lines.push_back(NBXMacLine(NBXMacAddress(a)));
    }
    if (auto country = CountryCodeLine(a.country); !country.empty())
        lines.push_back(std::move(country));
    lines.push_back(RememberAudioLine(a.check1));
    lines.push_back(BoostAudioLine(a.check2));
    lines.push_back(EndConfigLine());
    return lines;
}

std::vector<SentAddress> AddressesToSend(const FormAnswers &a)
{
    std::vector<SentAddress> out;
    if (SendsCardIPSettings(a)) {
        out.push_back({"IP Address", CardIPAddress(a)});
        out.push_back({"Subnet", CardSubnet(a)});
        out.push_back({"Default gateway", CardGateway(a)});
    }
    if (SendsNBXAddress(a)) {
        out.push_back({"NBX IP Address", NBXIPAddress(a)});
        out.push_back({"NBX MAC Address", NBXMacAddress(a), true});
    }
    return out;
}

bool IsValidDottedAddress(const std::string &text)
{
    const auto parts = SplitOn(text, '.');
    if (parts.size() != 4)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const std::string &p) {
        if (p.empty() || p.size() > 3)
            return false;
        if (!std::all_of(p.begin(), p.end(), [](unsigned char c) { return std::isdigit(c); }))
            return false;
        return std::stoi(p) <= 255;
    });
}

bool IsValidMacAddress(const std::string &text)
{
    const auto parts = SplitOn(text, ':');
    if (parts.size() != 6)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const std::string &p) {
        return !p.empty() && p.size() <= 2
            && std::all_of(p.begin(), p.end(), [](unsigned char c) { return std::isxdigit(c); });
    });
}

std::optional<std::string> MalformedAddressMessage(const FormAnswers &a)
{
    for (const auto &address : AddressesToSend(a)) {
        const bool ok = address.mac ? IsValidMacAddress(address.value) : IsValidDottedAddress(address.value);
        if (!ok)
            return "Not a valid " + address.name + ": " + address.value;
    }
    return std::nullopt;
}

std::string NextProgressCaption(int &ticks)
{
    ++ticks;
    std::string caption = "Sending Data ";
    if (ticks < 25) {
        for (int i = 0; i < ticks; ++i)
            caption += ". ";
    } else {
        ticks = 0;
    }
    return caption;
}

namespace option_rules {

void DHCPYes_Click(const FormAnswers &, WindowSections &w)
{
    w.CheckIfButtonEnabled();
    w.EnableIPSettings(false);
}

void DHCPNo_Click(const FormAnswers &, WindowSections &w)
{
    w.CheckIfButtonEnabled();
    w.EnableIPSettings(true);
}

void NBXYes_Click(const FormAnswers &a, WindowSections &w)
{
    if (a.option1) {
        w.EnableNBXMacAddress(true);
        w.EnableNBXIPAddress(false);
    } else {
        w.EnableNBXAddress(true);
    }
    w.CheckIfButtonEnabled();
}

void NBXNo_Click(const FormAnswers &a, WindowSections &w)
{
    // A remote NBX under a protocol other than "Ethernet" still needs both addresses.
    if (a.option1 || !a.remoteYes)
        w.EnableNBXAddress(false);
    w.CheckIfButtonEnabled();
}

void Option1_Click(const FormAnswers &a, WindowSections &w)
{
    w.EnableDHCPChoice(false);
    w.EnableIPSettings(false);
    w.CheckIfButtonEnabled();
    if (a.nbxYes) {
        w.EnableNBXMacAddress(true);
        w.EnableNBXIPAddress(false);
    } else {
        w.EnableNBXMacAddress(false);
        w.EnableNBXIPAddress(false);
    }
    w.EnableRemoteChoice(false);
}

void Option2_Click(const FormAnswers &a, WindowSections &w)
{
    if (a.nbxYes || a.remoteYes)
        w.EnableNBXAddress(true);
    if (a.remoteYes) {
        w.EnableDHCPChoice(true);
        if (a.dhcpNo)
            w.EnableIPSettings(true);
    } else {
        w.EnableDHCPChoice(false);
        w.EnableIPSettings(false);
    }
    w.CheckIfButtonEnabled();
    w.EnableRemoteChoice(true);
}

void Option3_Click(const FormAnswers &a, WindowSections &w)
{
    w.EnableDHCPChoice(true);
    w.EnableIPSettings(a.dhcpNo);
    w.CheckIfButtonEnabled();
    if (a.nbxYes || a.remoteYes)
        w.EnableNBXAddress(true);
    w.EnableRemoteChoice(true);
}

void RemoteYes_Click(const FormAnswers &a, WindowSections &w)
{
    if (a.option2 || a.option3) {
        w.EnableDHCPChoice(true);
        w.EnableIPSettings(!a.dhcpYes);
    }
    w.EnableNBXAddress(true);
    w.CheckIfButtonEnabled();
}

void RemoteNo_Click(const FormAnswers &a, WindowSections &w)
{
    if (!a.nbxYes)
        w.EnableNBXAddress(false);
    if (a.option3) {
        w.EnableDHCPChoice(true);
        if (a.dhcpNo)
            w.EnableIPSettings(true);
    } else if (a.option1 || a.option2) {
        w.EnableDHCPChoice(false);
        w.EnableIPSettings(false);
    }
    w.CheckIfButtonEnabled();
}

} // namespace option_rules
