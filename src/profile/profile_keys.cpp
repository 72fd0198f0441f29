#include "profile_keys.h"

#include "configuration_form.h"

#include <algorithm>
#include <cctype>

namespace profile {

const std::vector<ProfileKey> &Keys()
{
    static const std::vector<ProfileKey> keys = {
        {"protocol", {"ethernet", "onthefly", "standard"}, "ethernet", "the protocol configured on the NBX"},
        {"dhcp", {"yes", "no"}, "no", "a DHCP server assigns the card its address"},
        {"several_nbx", {"yes", "no"}, "no", "more than one NBX broadcasts to this network"},
        {"remote_nbx", {"yes", "no"}, "no", "the NBX is on a remote network"},
        {"ip", {}, "10.0.0.5", "the card's IP address", Row::Ip, "IP Address"},
        {"subnet", {}, "255.255.255.0", "the card's subnet mask", Row::Subnet, "Subnet"},
        {"gateway", {}, "10.0.0.1", "the card's default gateway", Row::Gateway, "Gateway"},
        {"nbx_ip", {}, "10.0.1.2", "the NBX's IP address", Row::NbxIp, "NBX IP Address"},
        {"nbx_mac", {}, "00:a0:24:1b:2c:3d", "the NBX's MAC address, six hexadecimal pairs", Row::NbxMac,
         "NBX MAC Address"},
        {"country", {gateway::kCountries.begin(), gateway::kCountries.end()}, gateway::kCountries[0],
         "the country of analog lines; when it is not set, no country is sent and the card keeps its own"},
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

// A value is typed into its row, with every row open, as a technician
// types it; it must come out as written, save for the separator after a full
// part, which typing supplies. A key that is dropped, an empty part, or a
// separator too many would send another address than the one written.
bool TypesAsWritten(Row row, std::string_view value)
{
    ConfigurationForm scratch;
    scratch.ChooseProtocol(Protocol::StandardIP);
    scratch.Answer(Question::SeveralNbx, true);
    scratch.FocusOn(BoxId {row, 0});
    scratch.Type(value);
    const char separator = ShapeOf(row).hex ? ':' : '.';
    std::string sent;
    for (const std::string &part : TextsOf(scratch.Current(), row)) {
        if (part.empty() || part.find(separator) != std::string::npos)
            return false;
        sent += (sent.empty() ? "" : std::string(1, separator)) + part;
    }
    std::size_t written = 0;
    for (const char c : sent) {
        if (written < value.size() && std::tolower(static_cast<unsigned char>(value[written])) == c)
            ++written;
        else if (c != separator)
            return false;
    }
    return written == value.size();
}

} // namespace

std::optional<std::string> RefuseValue(const ProfileKey &key, std::string_view value)
{
    if (key.row) {
        if (TypesAsWritten(*key.row, value))
            return std::nullopt;
        return "'" + std::string(value) + "' does not fit the " + std::string(key.rowName) + " row: "
            + (ShapeOf(*key.row).hex ? "six hexadecimal pairs, with or without colons"
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
