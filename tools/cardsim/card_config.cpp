#include "card_config.h"

#include <cstdio>

namespace cardsim {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Calls `part` with each piece of `text` between `separator`s; false as
// soon as one piece is refused or the count is not `count`.
template <typename Check>
bool SplitCheck(std::string_view text, char separator, int count, Check part)
{
    int seen = 0;
    for (;;) {
        const auto end = text.find(separator);
        if (++seen > count || !part(text.substr(0, end)))
            return false;
        if (end == std::string_view::npos)
            return seen == count;
        text.remove_prefix(end + 1);
    }
}

std::string JsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7f) {
            // Validated values are plain ASCII; this only keeps the file JSON.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Json(const std::optional<bool> &v) { return v ? (*v ? "true" : "false") : "null"; }
std::string Json(const std::optional<int> &v) { return v ? std::to_string(*v) : "null"; }
std::string Json(const std::optional<std::string> &v) { return v ? JsonString(*v) : "null"; }

std::string Plain(const std::optional<bool> &v) { return v ? (*v ? "1" : "0") : "-"; }
std::string Plain(const std::optional<int> &v) { return v ? std::to_string(*v) : "-"; }
std::string Plain(const std::optional<std::string> &v) { return v ? *v : "-"; }

// Both renderings walk the fields in the same order.
template <typename Emit>
void EachField(const CardConfig &c, Emit emit)
{
    emit("remote", c.remote);
    emit("dhcp", c.dhcp);
    emit("ip", c.ip);
    emit("subnet", c.subnet);
    emit("gateway", c.gateway);
    emit("on_the_fly", c.onTheFly);
    emit("nbx_ip", c.nbxIp);
    emit("nbx_mac", c.nbxMac);
    emit("country", c.country);
    emit("remember_audio", c.rememberAudio);
    emit("boost_audio", c.boostAudio);
}

} // namespace

std::string ToJson(const CardConfig &config)
{
    std::string out = "{";
    const char *separator = "\n";
    EachField(config, [&](const char *key, const auto &value) {
        out += separator;
        out += "  \"";
        out += key;
        out += "\": ";
        out += Json(value);
        separator = ",\n";
    });
    return out + "\n}\n";
}

std::string ToListing(const CardConfig &config)
{
    std::string out;
    EachField(config, [&](const char *key, const auto &value) {
        out += "  ";
        out += key;
        out += '=';
        out += Plain(value);
        out += "\r\n";
    });
    return out;
}

bool IsDottedAddress(std::string_view text)
{
    return SplitCheck(text, '.', 4, [](std::string_view octet) {
        if (octet.empty() || octet.size() > 3)
            return false;
        int value = 0;
        for (const char c : octet) {
            if (!IsDigit(c))
                return false;
            value = value * 10 + (c - '0');
        }
        return value <= 255;
    });
}

bool IsMacAddress(std::string_view text)
{
    return SplitCheck(text, ':', 6, [](std::string_view octet) {
        if (octet.empty() || octet.size() > 2)
            return false;
        for (const char c : octet)
            if (!IsHexDigit(c))
                return false;
        return true;
    });
}

} // namespace cardsim
