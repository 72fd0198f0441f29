#include "address_check.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

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
