// The card's command lines: "%C", a letter, an optional value, a carriage
// return, and "y" after the five address commands, which the card confirms.
#pragma once

#include <array>
#include <string>
#include <string_view>

// The audio boxes are two-state: no code or click can grey them.
enum class CheckState { Unchecked = 0, Checked = 1 };

namespace gateway {

// The countries of analog lines that the card knows, in the order of their
// codes: "%CV1" is the first.
inline constexpr std::array<std::string_view, 2> kCountries = {"United States", "United Kingdom"};

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
// Empty for any text but exactly one of kCountries.
[[nodiscard]] std::string CountryCodeLine(std::string_view country);
[[nodiscard]] std::string RememberAudioLine(CheckState state);
[[nodiscard]] std::string BoostAudioLine(CheckState state);
[[nodiscard]] std::string EndConfigLine();
[[nodiscard]] std::string ClearConfigLine();
[[nodiscard]] std::string LogConfigLine();

} // namespace gateway
