#include "command_lines.h"

namespace gateway {

std::string CommandLine(char letter, std::string_view value, bool confirm)
{
    std::string line = "%C";
    line += letter;
    line += value;
    line += '\r';
    if (confirm)
        line += 'y';
    return line;
}

static std::string_view Flag(bool on) { return on ? "1" : "0"; }
static std::string_view Flag(CheckState state) { return state == CheckState::Checked ? "1" : "0"; }

std::string BeginConfigLine() { return CommandLine('B'); }
std::string RemoteFlagLine(bool remote) { return CommandLine('R', Flag(remote)); }
std::string DHCPFlagLine(bool dhcp) { return CommandLine('P', Flag(dhcp)); }
std::string IPAddressLine(std::string_view ip) { return CommandLine('I', ip, true); }
std::string SubnetLine(std::string_view subnet) { return CommandLine('S', subnet, true); }
std::string GatewayLine(std::string_view gateway) { return CommandLine('G', gateway, true); }
std::string OnTheFlyFlagLine(bool onTheFly) { return CommandLine('F', Flag(onTheFly)); }
std::string NBXIPLine(std::string_view nbxIp) { return CommandLine('N', nbxIp, true); }
std::string NBXMacLine(std::string_view mac) { return CommandLine('M', mac, true); }

std::string CountryCodeLine(std::string_view country)
{
    for (std::size_t i = 0; i < kCountries.size(); ++i)
        if (country == kCountries[i])
            return CommandLine('V', std::to_string(i + 1));
    return {};
}

std::string RememberAudioLine(CheckState state) { return CommandLine('K', Flag(state)); }
std::string BoostAudioLine(CheckState state) { return CommandLine('Q', Flag(state)); }
std::string EndConfigLine() { return CommandLine('E'); }
std::string ClearConfigLine() { return CommandLine('C'); }
std::string LogConfigLine() { return CommandLine('L'); }

} // namespace gateway
