// Which addresses are well formed.
#pragma once

#include <string>

[[nodiscard]] bool IsValidDottedAddress(const std::string &text);
[[nodiscard]] bool IsValidMacAddress(const std::string &text);
