// Reads a site profile: [defaults] for every card, [card NAME] for what
// differs, and the command line's values on top.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

struct Setting {
    std::string value;
    std::string origin; // "site.ini:12" or "--ip", for messages
};
using Settings = std::map<std::string, Setting, std::less<>>;

struct Reading {
    Settings settings;
    std::vector<std::string> refusals; // each names the file, the line and the key
    std::vector<std::string> cards;    // the [card NAME] sections, in file order
};

// The settings for `card` (none: [defaults] alone). The whole file is
// checked, every card's section with it, so that a bad site file is refused
// for every card alike.
[[nodiscard]] Reading ReadProfile(std::istream &in, const std::string &fileName, const std::string &card);

// The name given for a card, as the sections write it: without the blanks
// around it; nothing when it is blank.
[[nodiscard]] std::optional<std::string> CardName(std::string_view given);

// The same from the file at `path`, named in messages as given: a regular
// file or a pipe, up to 1 MiB. Anything else, or more, is one refusal.
[[nodiscard]] Reading ReadProfileFile(const std::string &path, const std::string &card);

// Every card of the profile at `path` with its settings, in file order,
// from one read of the file (a pipe can be read only once).
struct Site {
    std::vector<std::pair<std::string, Settings>> cards;
    std::vector<std::string> refusals;
};
[[nodiscard]] Site ReadSiteFile(const std::string &path);

// Sets `key` from the command line over what the profile said; a refusal
// when the key or value is not allowed.
[[nodiscard]] std::optional<std::string> Override(Settings &settings, const std::string &key, const std::string &value);

} // namespace profile
