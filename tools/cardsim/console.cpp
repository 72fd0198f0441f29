#include "console.h"

#include "tovrik_version.h"

#include <cstdio>

namespace cardsim {

namespace {

enum class Kind { None, Flag, Country, Dotted, Mac };

struct Command {
    char letter;
    Kind kind;
    const char *key;   // the field's name in answers and in the state file
    const char *label; // asked before an address is taken
};

constexpr Command kCommands[] = {
    {'B', Kind::None, "begin", nullptr},
    {'R', Kind::Flag, "remote", nullptr},
    {'P', Kind::Flag, "dhcp", nullptr},
    {'I', Kind::Dotted, "ip", "card IP address"},
    {'S', Kind::Dotted, "subnet", "subnet mask"},
    {'G', Kind::Dotted, "gateway", "default gateway"},
    {'F', Kind::Flag, "on_the_fly", nullptr},
    {'N', Kind::Dotted, "nbx_ip", "NBX IP address"},
    {'M', Kind::Mac, "nbx_mac", "NBX MAC address"},
    {'V', Kind::Country, "country", nullptr},
    {'K', Kind::Flag, "remember_audio", nullptr},
    {'Q', Kind::Flag, "boost_audio", nullptr},
    {'E', Kind::None, "end", nullptr},
    {'C', Kind::None, "clear", nullptr},
    {'L', Kind::None, "list", nullptr},
};

const Command *Find(char letter)
{
    for (const Command &c : kCommands)
        if (c.letter == letter)
            return &c;
    return nullptr;
}

bool NeedsConfirmation(const Command &c) { return c.kind == Kind::Dotted || c.kind == Kind::Mac; }
bool IsSetting(const Command &c) { return c.kind != Kind::None; }

bool ValueFits(Kind kind, std::string_view value)
{
    switch (kind) {
    case Kind::None:
        return value.empty();
    case Kind::Flag:
        return value == "0" || value == "1";
    case Kind::Country:
        return value == "1" || value == "2";
    case Kind::Dotted:
        return IsDottedAddress(value);
    case Kind::Mac:
        return IsMacAddress(value);
    }
    return false;
}

void Assign(CardConfig &config, char letter, const std::string &value)
{
    const bool on = value == "1";
    switch (letter) {
    case 'R': config.remote = on; break;
    case 'P': config.dhcp = on; break;
    case 'I': config.ip = value; break;
    case 'S': config.subnet = value; break;
    case 'G': config.gateway = value; break;
    case 'F': config.onTheFly = on; break;
    case 'N': config.nbxIp = value; break;
    case 'M': config.nbxMac = value; break;
    case 'V': config.country = value[0] - '0'; break;
    case 'K': config.rememberAudio = on; break;
    case 'Q': config.boostAudio = on; break;
    default: break;
    }
}

// Why a configuration cannot run; empty when it can. Lenient enough for
// every sequence the tool sends: the protocol part may be "%CP" alone,
// "%CF" alone or both, and the card's own addresses are needed only when
// it neither asks DHCP nor runs plain Ethernet ("%CP0" with "%CF0").
std::string Inconsistency(const CardConfig &c)
{
    if (!c.remote)
        return "no %CR line";
    if (!c.dhcp && !c.onTheFly)
        return "neither %CP nor %CF";
    const int own = int(c.ip.has_value()) + int(c.subnet.has_value()) + int(c.gateway.has_value());
    const bool ethernet = c.dhcp == false && c.onTheFly == false;
    if (own != 0 && own != 3)
        return "%CI, %CS and %CG go together";
    if (own == 0 && c.dhcp == false && !ethernet)
        return "DHCP off but no %CI, %CS, %CG";
    if (c.nbxIp.has_value() != c.nbxMac.has_value())
        return "%CN and %CM go together";
    if (!c.rememberAudio)
        return "no %CK line";
    if (!c.boostAudio)
        return "no %CQ line";
    return {};
}

// A received value as it can be shown in an answer: printable ASCII as it
// is, other bytes as \xNN.
std::string Shown(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && c != '"' && c != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        }
    }
    return out;
}

bool IsBlank(char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

constexpr std::string_view kResync = "expected a line starting with %C; skipping to the next %";

} // namespace

Console::Console(std::function<void(const CardConfig &)> onStored) : onStored_(std::move(onStored)) {}

void Console::Feed(std::string_view bytes)
{
    for (const char c : bytes)
        Take(c);
}

std::string Console::TakeOutput()
{
    std::string out;
    out.swap(output_);
    return out;
}

void Console::Take(char c)
{
    switch (state_) {
    case State::Idle:
        if (c == '%')
            state_ = State::Percent;
        else if (!IsBlank(c)) {
            Error(kResync);
            state_ = State::Skip;
        }
        return;
    case State::Skip:
        if (c == '%')
            state_ = State::Percent;
        return;
    case State::Percent:
        if (c == 'C') {
            state_ = State::Letter;
        } else {
            Error(kResync);
            // A second '%' may be the start of the next line.
            state_ = c == '%' ? State::Percent : State::Skip;
        }
        return;
    case State::Letter:
        TakeLetter(c);
        return;
    case State::Value:
        TakeValue(c);
        return;
    case State::Confirm:
        TakeConfirm(c);
        return;
    }
}

void Console::TakeLetter(char c)
{
    letter_ = c;
    value_.clear();
    if (Find(c)) {
        state_ = State::Value;
    } else if (c == '%') {
        Error("line cut short after %C");
        state_ = State::Percent;
    } else if (c == '\r') {
        Error("no command letter after %C");
        state_ = State::Idle;
    } else {
        Error("unknown command %C" + Shown(std::string_view(&c, 1)) + "; skipping to the next %");
        state_ = State::Skip;
    }
}

void Console::TakeValue(char c)
{
    if (c == '\r') {
        EndOfLine();
    } else if (c == '%') {
        Error(LineName() + " line cut short by a new %");
        value_.clear();
        state_ = State::Percent;
    } else if (value_.size() >= kMaxValue) {
        Error(LineName() + " line too long; skipping to the next %");
        value_.clear();
        state_ = State::Skip;
    } else {
        value_ += c;
    }
}

void Console::TakeConfirm(char c)
{
    if (IsBlank(c))
        return;
    if (c == 'y' || c == 'Y' || c == 'n' || c == 'N') {
        if (confirmWanted_)
            Confirmed(c == 'y' || c == 'Y');
        value_.clear();
        state_ = State::Idle;
        return;
    }
    if (confirmWanted_)
        Error(LineName() + (c == '%' ? " not confirmed; line dropped" : " expected y or n; line dropped"));
    else if (c != '%')
        Error(kResync);
    value_.clear();
    state_ = c == '%' ? State::Percent : State::Skip;
}

void Console::EndOfLine()
{
    const Command &command = *Find(letter_);
    state_ = NeedsConfirmation(command) ? State::Confirm : State::Idle;
    // An address line that is refused still has its "y" coming; the
    // Confirm state swallows it quietly.
    confirmWanted_ = false;

    if (!ValueFits(command.kind, value_)) {
        if (command.kind == Kind::None)
            Error(LineName() + " takes no value");
        else
            Error("bad value for " + LineName() + ": \"" + Shown(value_) + "\"");
        return;
    }
    if (IsSetting(command)) {
        if (!pendingOpen_) {
            Error(LineName() + " outside a configuration; send %CB first");
            return;
        }
        if (NeedsConfirmation(command)) {
            confirmWanted_ = true;
            output_ += "Set " + std::string(command.label) + " to " + value_ + " (y/n)? ";
            return;
        }
        Assign(pending_, letter_, value_);
        Answer("OK " + std::string(command.key) + "=" + value_);
        return;
    }
    switch (letter_) {
    case 'B':
        Answer(pendingOpen_ ? "OK begin; the unfinished configuration was dropped" : "OK begin");
        pending_ = {};
        pendingOpen_ = true;
        pendingErrors_ = 0;
        break;
    case 'E':
        EndConfiguration();
        break;
    case 'C':
        stored_ = {};
        if (onStored_)
            onStored_(stored_);
        Answer("OK configuration erased; restarting");
        Restart();
        break;
    case 'L':
        output_ += "running configuration:\r\n" + ToListing(stored_);
        Answer("build: brenlock-sim " TOVRIK_VERSION " (virtual Brenlock card)");
        Answer("OK");
        break;
    default:
        break;
    }
}

void Console::Confirmed(bool yes)
{
    const Command &command = *Find(letter_);
    output_ += yes ? "y\r\n" : "n\r\n";
    if (!yes) {
        Answer("OK " + std::string(command.key) + " left unset");
        return;
    }
    Assign(pending_, letter_, value_);
    Answer("OK " + std::string(command.key) + "=" + value_);
}

void Console::EndConfiguration()
{
    if (!pendingOpen_) {
        Error("%CE without %CB");
        return;
    }
    std::string reason;
    if (pendingErrors_ > 0)
        reason = std::to_string(pendingErrors_) + (pendingErrors_ == 1 ? " faulty line" : " faulty lines")
            + " since %CB";
    else
        reason = Inconsistency(pending_);
    if (!reason.empty()) {
        pendingOpen_ = false;
        pending_ = {};
        Error("configuration rejected: " + reason + "; nothing applied");
        return;
    }
    stored_ = pending_;
    if (onStored_)
        onStored_(stored_);
    Answer("OK configuration applied; restarting");
    Restart();
}

void Console::Restart()
{
    pending_ = {};
    pendingOpen_ = false;
    pendingErrors_ = 0;
    Answer("Brenlock card ready");
}

void Console::Answer(std::string_view text)
{
    output_ += text;
    output_ += "\r\n";
}

void Console::Error(std::string_view text)
{
    if (pendingOpen_)
        ++pendingErrors_;
    output_ += "ERR ";
    Answer(text);
}

std::string Console::LineName() const
{
    return "%C" + std::string(1, letter_);
}

} // namespace cardsim
