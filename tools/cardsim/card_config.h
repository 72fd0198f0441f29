// What the virtual card stores: one field per setting line, each unset
// until a configuration sets it (an erased card has every field unset).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cardsim {

struct CardConfig {
    std::optional<bool> remote;         // %CR
    std::optional<bool> dhcp;           // %CP
    std::optional<std::string> ip;      // %CI
    std::optional<std::string> subnet;  // %CS
    std::optional<std::string> gateway; // %CG
    std::optional<bool> onTheFly;       // %CF
    std::optional<std::string> nbxIp;   // %CN
    std::optional<std::string> nbxMac;  // %CM
    std::optional<int> country;         // %CV: 1 United States, 2 United Kingdom
    std::optional<bool> rememberAudio;  // %CK
    std::optional<bool> boostAudio;     // %CQ

    bool operator==(const CardConfig &) const = default;
};

// The state file's content: one JSON object with the eleven keys in a fixed
// order, null for an unset field, and a final newline.
[[nodiscard]] std::string ToJson(const CardConfig &config);

// "key=value" lines for the running-configuration printout, "-" when unset,
// each ending in CR LF.
[[nodiscard]] std::string ToListing(const CardConfig &config);

// Four decimal octets of one to three digits, each at most 255.
[[nodiscard]] bool IsDottedAddress(std::string_view text);
// Six hexadecimal octets of one or two digits, separated by ':'.
[[nodiscard]] bool IsMacAddress(std::string_view text);

} // namespace cardsim
