#include "configuration.h"

#include "address_check.h"
#include "answers.h"
#include "command_lines.h"

namespace {

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

std::string Caption(Row row) { return std::string(ShapeOf(row).caption); }

} // namespace

ConfigurationPlan PlanConfiguration(const Answers &a)
{
    ConfigurationPlan plan;
    switch (a.protocol) {
    case Protocol::StandardIP:
        plan.dhcpFlag = a.dhcpServer;
        plan.cardIPSettings = !a.dhcpServer;
        break;
    case Protocol::IPOnTheFly:
        // A local NBX hands the card its address on the fly.
        if (a.remoteNbx) {
            plan.dhcpFlag = a.dhcpServer;
            plan.cardIPSettings = !a.dhcpServer;
        }
        plan.onTheFlyFlag = true;
        break;
    case Protocol::Ethernet:
    case Protocol::None:
        plan.dhcpFlag = false;
        plan.onTheFlyFlag = false;
        break;
    }
    plan.nbxAddress = a.moreThanOneNbx || a.remoteNbx;
    return plan;
}

std::string CardIPAddress(const Answers &a) { return Join(a.ip, '.'); }
std::string CardSubnet(const Answers &a) { return Join(a.subnet, '.'); }
std::string CardGateway(const Answers &a) { return Join(a.gateway, '.'); }

std::string NBXIPAddress(const Answers &a)
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

std::string NBXMacAddress(const Answers &a) { return Join(a.mac, ':'); }

std::vector<std::string> ConfigurationLines(const Answers &a)
{
    using namespace gateway;
    const ConfigurationPlan plan = PlanConfiguration(a);
    std::vector<std::string> lines {BeginConfigLine(), RemoteFlagLine(a.remoteNbx)};
    if (plan.dhcpFlag)
        lines.push_back(DHCPFlagLine(*plan.dhcpFlag));
    if (plan.cardIPSettings) {
        lines.push_back(IPAddressLine(CardIPAddress(a)));
        lines.push_back(SubnetLine(CardSubnet(a)));
        lines.push_back(GatewayLine(CardGateway(a)));
    }
    if (plan.onTheFlyFlag)
        lines.push_back(OnTheFlyFlagLine(*plan.onTheFlyFlag));
    if (plan.nbxAddress) {
        lines.push_back(NBXIPLine(NBXIPAddress(a)));
        lines.push_back(NBXMacLine(NBXMacAddress(a)));
    }
    if (auto country = CountryCodeLine(a.country); !country.empty())
        lines.push_back(std::move(country));
    lines.push_back(RememberAudioLine(a.rememberAudio));
    lines.push_back(BoostAudioLine(a.boostAudio));
    lines.push_back(EndConfigLine());
    return lines;
}

std::vector<SentAddress> AddressesToSend(const Answers &a)
{
    const ConfigurationPlan plan = PlanConfiguration(a);
    std::vector<SentAddress> out;
    if (plan.cardIPSettings) {
        out.push_back({Caption(Row::Ip), CardIPAddress(a)});
        out.push_back({Caption(Row::Subnet), CardSubnet(a)});
        out.push_back({Caption(Row::Gateway), CardGateway(a)});
    }
    if (plan.nbxAddress) {
        out.push_back({Caption(Row::NbxIp), NBXIPAddress(a)});
        out.push_back({Caption(Row::NbxMac), NBXMacAddress(a), true});
    }
    return out;
}

std::optional<std::string> MalformedAddressMessage(const Answers &a)
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
