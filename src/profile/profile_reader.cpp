#include "profile_reader.h"

#include "profile_keys.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

namespace profile {

namespace {

constexpr std::string_view kDefaults = "defaults";
constexpr std::string_view kCardPrefix = "card ";

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

class ProfileParser {
public:
    ProfileParser(const std::string &fileName, const std::string &card) : fileName_(fileName), card_(card) {}

    void Line(const std::string &raw)
    {
        ++lineNumber_;
        const std::string line = Trimmed(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            return;
        if (line.front() == '[')
            Section(line);
        else
            KeyValue(line);
    }

    Reading Finish()
    {
        if (!card_.empty() && !sectionsSeen_.contains(std::string(kCardPrefix) + card_))
            reading_.refusals.push_back(fileName_ + ": no section [card " + card_ + "]");
        for (auto &[key, setting] : cardSettings_)
            reading_.settings[key] = std::move(setting);
        return std::move(reading_);
    }

private:
    std::string Where() const { return fileName_ + ":" + std::to_string(lineNumber_) + ": "; }
    void Refuse(const std::string &why) { reading_.refusals.push_back(Where() + why); }

    void Section(const std::string &line)
    {
        section_.clear();
        keysInSection_.clear();
        inUnknownSection_ = false;
        const std::string name = line.back() == ']' ? Trimmed(std::string_view(line).substr(1, line.size() - 2)) : "";
        const bool isCard = name.starts_with(kCardPrefix) && !Trimmed(name.substr(kCardPrefix.size())).empty();
        if (name != kDefaults && !isCard) {
            Refuse("unknown section " + line + "; the sections are [defaults] and [card NAME]");
            inUnknownSection_ = true; // its keys are refused with it
            return;
        }
        section_ = isCard ? std::string(kCardPrefix) + Trimmed(name.substr(kCardPrefix.size())) : name;
        if (!sectionsSeen_.insert(section_).second)
            Refuse("section [" + section_ + "] appears twice");
    }

    void KeyValue(const std::string &line)
    {
        if (inUnknownSection_)
            return;
        const auto equals = line.find('=');
        const std::string key = Trimmed(std::string_view(line).substr(0, equals));
        if (equals == std::string::npos) {
            Refuse(key + ": not a line 'key = value'");
            return;
        }
        const std::string value = Trimmed(std::string_view(line).substr(equals + 1));
        const ProfileKey *known = FindKey(key);
        if (!known) {
            Refuse(key + ": unknown key");
            return;
        }
        if (section_.empty()) {
            Refuse(key + ": outside [defaults] and [card NAME]");
            return;
        }
        if (const auto it = keysInSection_.find(key); it != keysInSection_.end()) {
            Refuse(key + ": duplicate key, first set on line " + std::to_string(it->second));
            return;
        }
        keysInSection_.emplace(key, lineNumber_);
        if (const auto why = RefuseValue(*known, value)) {
            Refuse(key + ": " + *why);
            return;
        }
        Setting setting {value, fileName_ + ":" + std::to_string(lineNumber_)};
        if (section_ == kDefaults)
            reading_.settings[key] = std::move(setting);
        else if (section_ == std::string(kCardPrefix) + card_)
            cardSettings_[key] = std::move(setting);
    }

    std::string fileName_, card_, section_;
    int lineNumber_ = 0;
    bool inUnknownSection_ = false;
    std::set<std::string> sectionsSeen_;
    std::map<std::string, int> keysInSection_;
    Settings cardSettings_; // laid over [defaults] wherever the sections stand
    Reading reading_;
};

} // namespace

Reading ReadProfile(std::istream &in, const std::string &fileName, const std::string &card)
{
    ProfileParser parser(fileName, card);
    for (std::string line; std::getline(in, line);)
        parser.Line(line);
    return parser.Finish();
}

std::optional<std::string> Override(Settings &settings, const std::string &key, const std::string &value)
{
    const ProfileKey *known = FindKey(key);
    if (!known)
        return "--" + key + ": unknown key";
    if (const auto why = RefuseValue(*known, value))
        return "--" + key + ": " + *why;
    settings[key] = Setting {value, "--" + key};
    return std::nullopt;
}

Reading ReadProfileFile(const std::string &path, const std::string &card)
{
    std::ifstream in(path);
    if (!in)
        return {{}, {path + ": cannot be read: " + std::strerror(errno)}};
    return ReadProfile(in, path, card);
}

} // namespace profile
