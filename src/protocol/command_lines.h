// The card's command lines: "%C", a letter, an optional value, a carriage
// return, and "y" after the five address commands, which the card confirms.
#pragma once

#include <string>
#include <string_view>

// The audio boxes are two-state: no code or click can grey them.
enum class CheckState { Unchecked = 0, Checked = 1 };

namespace gateway {

[[nodiscard]] std::string CommandLine(char letter, std::string_view value = {},
                                      bool confirm = false);

[[nodiscard]] std::string BeginConfigLine();
[[nodiscard]] std::string RemoteFlagLine(bool remote);
[[nodiscard]] std::string DHCPFlagLine(bool dhcp);
[[nodiscard]] std::string IPAddressLine(std::string_view ip);
[[nodiscard]] std::string SubnetLine(std::string_view subnet);
[[nodiscard]] std::string GatewayLine(std::string_view gateway);
[[nodiscard]] std::string OnTheFlyFlagLine(bool onTheFly);
[[nodiscard]] std::string NBXIPLine(std::string_view nbxIp);
[[nodiscard]] std::string NBXMacLine(std::string_view mac);
// Empty for any text but exactly "United States" or "United Kingdom".
[[nodiscard]] std::string CountryCodeLine(std::string_view country);
[[nodiscard]] std::string RememberAudioLine(CheckState state);
[[nodiscard]] std::string BoostAudioLine(CheckState state);
[[nodiscard]] std::string EndConfigLine();
[[nodiscard]] std::string ClearConfigLine();
[[nodiscard]] std::string LogConfigLine();

} // namespace gateway
