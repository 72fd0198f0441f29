// Which addresses are well formed, and the message for the first malformed
// one that Configure would send.
#pragma once

#include <optional>
#include <string>

struct Answers;

[[nodiscard]] bool IsValidDottedAddress(const std::string &text);
[[nodiscard]] bool IsValidMacAddress(const std::string &text);
// "Not a valid IP Address: 999.0.0.5" for the first malformed address that
// Configure would send, nothing when all are well formed.
[[nodiscard]] std::optional<std::string> MalformedAddressMessage(const Answers &a);
