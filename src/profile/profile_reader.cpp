#include "profile_reader.h"

#include "profile_keys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <sstream>

namespace profile {

namespace {

constexpr std::string_view kDefaults = "defaults";
constexpr std::string_view kCardPrefix = "card ";

// A site's profile is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxProfileBytes = 1024 * 1024;
constexpr std::size_t kMaxLineBytes = 1024;
// How much of a refused line a message repeats.
constexpr std::size_t kShownBytes = 80;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// At most kShownBytes of `text`, cut on a character boundary.
std::string Excerpt(const std::string &text)
{
    if (text.size() <= kShownBytes)
        return text;
    std::size_t length = kShownBytes - 3;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length) + "...";
}

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

    void Line(std::string_view raw)
    {
        ++lineNumber_;
        if (lineNumber_ == 1 && raw.starts_with(kByteOrderMark))
            raw.remove_prefix(kByteOrderMark.size()); // left by some Windows editors
        if (raw.size() > kMaxLineBytes) {
            Refuse("a line of " + std::to_string(raw.size()) + " characters; a profile's lines are short");
            return;
        }
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
            Refuse("unknown section " + Excerpt(line) + "; the sections are [defaults] and [card NAME]");
            inUnknownSection_ = true; // its keys are refused with it
            return;
        }
        section_ = isCard ? std::string(kCardPrefix) + Trimmed(name.substr(kCardPrefix.size())) : name;
        if (!sectionsSeen_.insert(section_).second)
            Refuse("section [" + section_ + "] appears twice");
        else if (isCard)
            reading_.cards.push_back(section_.substr(kCardPrefix.size()));
    }

    void KeyValue(const std::string &line)
    {
        if (inUnknownSection_)
            return;
        const auto equals = line.find('=');
        const std::string key = Trimmed(std::string_view(line).substr(0, equals));
        if (equals == std::string::npos) {
            Refuse(Excerpt(key) + ": not a line 'key = value'");
            return;
        }
        const std::string value = Trimmed(std::string_view(line).substr(equals + 1));
        const ProfileKey *known = FindKey(key);
        if (!known) {
            Refuse(Excerpt(key) + ": unknown key");
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

namespace {

// What a regular file or a pipe holds, up to kMaxProfileBytes; nothing, with
// `why` set, for anything else: a folder would read as an empty profile and
// a device such as /dev/zero would never end.
std::optional<std::string> ReadBounded(const std::string &path, std::string &why)
{
    // Not blocking on a FIFO that nobody writes to yet.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) != 0)
        why = std::string("cannot be read: ") + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = "is a folder, not a profile; give the profile's file";
    else if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        why = "is a device or another special file, not a profile; give the profile's file";
    else if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > kMaxProfileBytes)
        why = "is larger than 1 MiB; a profile is a few kilobytes";
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        why = std::string("cannot be read: ") + std::strerror(errno);
    char buffer[64 * 1024];
    while (why.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = std::string("cannot be read: ") + std::strerror(errno);
        else if (text.size() + static_cast<std::size_t>(n) > kMaxProfileBytes)
            why = "holds more than 1 MiB; a profile is a few kilobytes";
        else
            text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!why.empty())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<std::string> CardName(std::string_view given)
{
    auto name = Trimmed(given);
    if (name.empty())
        return std::nullopt;
    return name;
}

Reading ReadProfileFile(const std::string &path, const std::string &card)
{
    std::string why;
    const auto text = ReadBounded(path, why);
    if (!text)
        return {{}, {path + ": " + why}, {}};
    std::istringstream in(*text);
    return ReadProfile(in, path, card);
}

Site ReadSiteFile(const std::string &path)
{
    std::string why;
    const auto text = ReadBounded(path, why);
    if (!text)
        return {{}, {path + ": " + why}};
    std::istringstream whole(*text);
    auto reading = ReadProfile(whole, path, "");
    Site site;
    site.refusals = std::move(reading.refusals);
    for (auto &card : reading.cards) {
        std::istringstream in(*text);
        site.cards.emplace_back(card, ReadProfile(in, path, card).settings);
    }
    return site;
}

} // namespace profile
