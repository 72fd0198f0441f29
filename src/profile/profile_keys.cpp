#include "profile_keys.h"

#include <algorithm>
#include <utility>

namespace profile {

const std::vector<ProfileKey> &Keys()
{
    static const std::vector<ProfileKey> keys = {
        {"protocol", {"ethernet", "onthefly", "standard"}, "ethernet", "the protocol configured on the NBX"},
        {"dhcp", {"yes", "no"}, "no", "a DHCP server assigns the card its address"},
        {"several_nbx", {"yes", "no"}, "no", "more than one NBX broadcasts to this network"},
        {"remote_nbx", {"yes", "no"}, "no", "the NBX is on a remote network"},
        {"ip", {}, "10.0.0.5", "the card's IP address", {4, false, 3, "IP Address"}},
        {"subnet", {}, "255.255.255.0", "the card's subnet mask", {4, false, 3, "Subnet"}},
        {"gateway", {}, "10.0.0.1", "the card's default gateway", {4, false, 3, "Gateway"}},
        // The NBX row's boxes hold a fourth digit, but typing moves on after three.
        {"nbx_ip", {}, "10.0.1.2", "the NBX's IP address", {4, false, 3, "NBX IP Address"}},
        {"nbx_mac", {}, "00:a0:24:1b:2c:3d", "the NBX's MAC address, six hexadecimal pairs",
         {6, true, 2, "NBX MAC Address"}},
        {"country", {"United States", "United Kingdom"}, "United States", "the country of analog lines"},
        {"remember_audio", {"yes", "no"}, "yes", "the card remembers its audio settings"},
        {"boost_audio", {"yes", "no"}, "no", "the card boosts its audio"},
    };
    return keys;
}

const ProfileKey *FindKey(std::string_view name)
{
    const auto &keys = Keys();
    const auto it = std::find_if(keys.begin(), keys.end(), [&](const ProfileKey &k) { return k.name == name; });
    return it == keys.end() ? nullptr : &*it;
}

namespace {

std::string Joined(const std::vector<std::string_view> &values, std::string_view separator)
{
    std::string out;
    for (const auto value : values) {
        if (!out.empty())
            out += separator;
        out += value;
    }
    return out;
}

// A value is typed into its row as a technician types it: a full part moves
// on to the next box, where a separator right after is swallowed. A value
// with other characters, an empty part, or more than the row holds would be
// sent as another address than the one written, so it is refused instead.
bool FitsTheRow(const RowShape &shape, std::string_view value)
{
    const char separator = shape.hex ? ':' : '.';
    int box = 0;
    int length = 0;
    bool movedOn = false; // the last character filled a box
    for (const char c : value) {
        if (c == separator) {
            if (!std::exchange(movedOn, false) && (length == 0 || ++box == shape.boxes))
                return false;
            length = 0;
            continue;
        }
        const bool digit = c >= '0' && c <= '9';
        const bool hexDigit = shape.hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
        if (!(digit || hexDigit) || length == shape.partLength)
            return false;
        movedOn = ++length == shape.partLength && box < shape.boxes - 1;
        if (movedOn) {
            ++box;
            length = 0;
        }
    }
    return box == shape.boxes - 1 && length > 0;
}

} // namespace

std::optional<std::string> RefuseValue(const ProfileKey &key, std::string_view value)
{
    if (key.shape.boxes > 0) {
        if (FitsTheRow(key.shape, value))
            return std::nullopt;
        return "'" + std::string(value) + "' does not fit the " + std::string(key.shape.row) + " row: "
            + (key.shape.hex ? "six hexadecimal pairs, with or without colons"
                            : "four numbers of up to three digits, with dots");
    }
    if (std::find(key.allowed.begin(), key.allowed.end(), value) != key.allowed.end())
        return std::nullopt;
    return "'" + std::string(value) + "' is not one of " + Joined(key.allowed, ", ");
}

std::string ProfileTemplate()
{
    std::string out = "# A tovrik-cli profile. [defaults] applies to every card; a [card NAME]\n"
                      "# section holds what differs for one card (tovrik-cli configure --card NAME).\n"
                      "# Remove the '#' before a key to set it.\n\n[defaults]\n";
    for (const auto &key : Keys()) {
        out += "# " + std::string(key.meaning);
        out += key.allowed.empty() ? "" : ": " + Joined(key.allowed, " | ");
        out += "\n#" + std::string(key.name) + " = " + std::string(key.example) + "\n";
    }
    out += "\n#[card front-desk]\n#ip = 10.0.0.5\n";
    return out;
}

} // namespace profile
