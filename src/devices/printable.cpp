#include "printable.h"

#include <cstdint>

namespace devices {

namespace {

void AppendHex(std::string &out, unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

// The length of the well-formed UTF-8 sequence of two or more bytes at the
// start of `text`, or 0: overlong forms, surrogates and code points beyond
// U+10FFFF are not characters.
std::size_t SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    // U+0080 to U+009F are control characters too.
    const bool control = code >= 0x80 && code <= 0x9F;
    return overlong || surrogate || control || code > 0x10FFFF ? 0 : length;
}

} // namespace

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        std::size_t taken = 1;
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
        } else if (const std::size_t length = byte >= 0x80 ? SequenceLength(text) : 0; length > 0) {
            out.append(text.substr(0, length));
            taken = length;
        } else {
            AppendHex(out, byte);
        }
        text.remove_prefix(taken);
    }
    return out;
}

} // namespace devices
