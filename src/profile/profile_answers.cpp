#include "profile_answers.h"

#include "octet_field.h"
#include "readiness.h"
#include "section_rules.h"

#include <span>

namespace profile {

namespace {

// A row of octet boxes as plain strings that behave as the window's line
// edits: a full box takes no more characters, and a changed text runs the
// change handler again before SetText returns.
class TypedRow {
public:
    TypedRow(std::span<std::string> texts, bool hex, int firstMaxLength, int lastMaxLength)
    {
        const std::size_t n = texts.size();
        boxes_.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const RowPosition position = i == 0 ? RowPosition::First
                : i == n - 1                    ? RowPosition::Last
                                                : RowPosition::Middle;
            const int maxLength = i == n - 1 ? lastMaxLength : firstMaxLength;
            boxes_.emplace_back(*this, texts[i], i, OctetBoxKind {position, hex, maxLength});
        }
    }
    TypedRow(const TypedRow &) = delete;
    TypedRow &operator=(const TypedRow &) = delete;

    void Type(std::string_view text)
    {
        for (const char c : text) {
            Box &box = boxes_[focus_];
            if (static_cast<int>(box.Text().size()) < box.kind.maxLength)
                box.SetText(box.Text() + c);
        }
    }

private:
    class Box final : public OctetBox {
    public:
        Box(TypedRow &row, std::string &text, std::size_t index, OctetBoxKind boxKind)
            : kind(boxKind), row_(row), text_(text), index_(index)
        {
        }
        std::string Text() const override { return text_; }
        void SetText(const std::string &text) override
        {
            const std::string cut = text.substr(0, static_cast<std::size_t>(kind.maxLength));
            if (cut == text_)
                return;
            text_ = cut;
            OctetChange(*this, kind);
        }
        void SetSelStart(int) override {} // typing always goes on at the end
        void SetFocusNext() override
        {
            if (index_ + 1 < row_.boxes_.size())
                row_.focus_ = index_ + 1;
        }
        void CheckIfButtonEnabled() override {}

        OctetBoxKind kind;

    private:
        TypedRow &row_;
        std::string &text_;
        std::size_t index_;
    };

    std::vector<Box> boxes_;
    std::size_t focus_ = 0;
};

// Which rows and questions take input, as the window's sections would.
class OpenSections final : public WindowSections {
public:
    void EnableIPSettings(bool enabled) override { ipSettings = enabled; }
    void EnableDHCPChoice(bool enabled) override { dhcpChoice = enabled; }
    void EnableNBXIPAddress(bool enabled) override { nbxIp = enabled; }
    void EnableNBXMacAddress(bool enabled) override { nbxMac = enabled; }
    void EnableRemoteChoice(bool enabled) override { remoteChoice = enabled; }
    void CheckIfButtonEnabled() override {}

    // As the window's layout builds them: all closed.
    bool ipSettings = false, dhcpChoice = false, nbxIp = false, nbxMac = false, remoteChoice = false;
    bool always = true; // the NBX-count question, which nothing closes
};

std::string ProtocolName(Protocol protocol)
{
    switch (protocol) {
    case Protocol::Ethernet:
        return "Ethernet";
    case Protocol::IPOnTheFly:
        return "IP On the Fly";
    case Protocol::StandardIP:
        return "Standard IP";
    case Protocol::None:
        break;
    }
    return "no protocol";
}

// The protocol, and the answer that closed the row when the protocol alone did not.
std::string ClosedBecause(std::string_view key, const Answers &a)
{
    std::string why = ProtocolName(a.protocol);
    const bool cardRow = key == "ip" || key == "subnet" || key == "gateway";
    if (cardRow && a.protocol != Protocol::Ethernet)
        why += a.dhcpServer ? ", dhcp = yes" : ", remote_nbx = no";
    else if (key == "dhcp" && a.protocol == Protocol::IPOnTheFly)
        why += ", remote_nbx = no";
    else if ((key == "nbx_ip" || key == "nbx_mac") && !a.moreThanOneNbx && !a.remoteNbx)
        why += ", several_nbx = no, remote_nbx = no";
    return why;
}

Protocol ProtocolFromValue(const std::string &value)
{
    return value == "standard" ? Protocol::StandardIP
        : value == "onthefly"  ? Protocol::IPOnTheFly
                               : Protocol::Ethernet;
}

} // namespace

namespace {

// The window as a profile fills it in: the open sections, and what was
// given for a closed one.
class Filling {
public:
    explicit Filling(const Settings &settings) : settings_(settings) {}

    // A fresh window has chosen Ethernet.
    void ChooseProtocol()
    {
        a().protocol = Protocol::Ethernet;
        section_rules::ProtocolChosen(a(), open_);
        if (const auto *value = Given("protocol"); value && ProtocolFromValue(*value) != a().protocol) {
            a().protocol = ProtocolFromValue(*value);
            section_rules::ProtocolChosen(a(), open_);
        }
    }

    // A click on a closed question changes nothing; one on the answer
    // already chosen runs no handler.
    void Answer(std::string_view key, bool OpenSections::*isOpen, bool Answers::*field,
                void (*rule)(const Answers &, WindowSections &))
    {
        const auto *value = Given(key);
        if (!value)
            return;
        if (!(open_.*isOpen))
            return NotUsed(key);
        if (const bool yes = *value == "yes"; yes != a().*field) {
            a().*field = yes;
            rule(a(), open_);
        }
    }

    void Type(std::string_view key, bool OpenSections::*isOpen, std::span<std::string> row, bool hex,
              int firstMaxLength, int lastMaxLength)
    {
        const auto *value = Given(key);
        if (!value)
            return;
        if (!(open_.*isOpen))
            return NotUsed(key);
        TypedRow(row, hex, firstMaxLength, lastMaxLength).Type(*value);
    }

    void Check(std::string_view key, CheckState &state)
    {
        if (const auto *value = Given(key))
            state = *value == "yes" ? CheckState::Checked : CheckState::Unchecked;
    }

    [[nodiscard]] const std::string *Given(std::string_view key) const
    {
        const auto it = settings_.find(key);
        return it == settings_.end() ? nullptr : &it->second.value;
    }

    Answers &a() { return out_.answers; }
    [[nodiscard]] const OpenSections &Open() const { return open_; }
    FilledAnswers &Out() { return out_; }

private:
    void NotUsed(std::string_view key)
    {
        out_.unused.push_back("not used: " + std::string(key) + " (" + ClosedBecause(key, a()) + ")");
    }

    const Settings &settings_;
    FilledAnswers out_;
    OpenSections open_;
};

} // namespace

FilledAnswers FillAnswers(const Settings &settings)
{
    Filling f(settings);
    Answers &a = f.a();
    f.ChooseProtocol();
    // The remote question first: under IP On the Fly it opens the DHCP question.
    f.Answer("remote_nbx", &OpenSections::remoteChoice, &Answers::remoteNbx, section_rules::RemoteNBXAnswered);
    f.Answer("dhcp", &OpenSections::dhcpChoice, &Answers::dhcpServer, section_rules::DHCPServerAnswered);
    f.Answer("several_nbx", &OpenSections::always, &Answers::moreThanOneNbx, section_rules::MoreThanOneNBXAnswered);

    f.Type("ip", &OpenSections::ipSettings, a.ip, false, 3, 3);
    f.Type("subnet", &OpenSections::ipSettings, a.subnet, false, 3, 3);
    f.Type("gateway", &OpenSections::ipSettings, a.gateway, false, 3, 3);
    f.Type("nbx_ip", &OpenSections::nbxIp, a.nbxIp, false, 4, 3); // the NBX row takes a fourth digit
    f.Type("nbx_mac", &OpenSections::nbxMac, a.mac, true, 2, 2);
    a.nbxIpOpen = f.Open().nbxIp;

    if (const auto *value = f.Given("country"))
        a.country = *value;
    f.Check("remember_audio", a.rememberAudio);
    f.Check("boost_audio", a.boostAudio);
    return f.Out();
}

std::vector<std::string> MissingEntries(const Answers &a)
{
    if (RequiredEntriesFilled(a))
        return {};
    struct Row {
        std::string_view key, name;
        std::span<std::string> (*boxes)(Answers &);
    };
    static constexpr Row rows[] = {
        {"ip", "IP Address", [](Answers &x) { return std::span<std::string>(x.ip); }},
        {"subnet", "Subnet", [](Answers &x) { return std::span<std::string>(x.subnet); }},
        {"gateway", "Gateway", [](Answers &x) { return std::span<std::string>(x.gateway); }},
        {"nbx_ip", "NBX IP Address", [](Answers &x) { return std::span<std::string>(x.nbxIp); }},
        {"nbx_mac", "NBX MAC Address", [](Answers &x) { return std::span<std::string>(x.mac); }},
    };
    // A row is missing when readiness still fails with every other row filled.
    std::vector<std::string> missing;
    for (const auto &row : rows) {
        Answers othersFilled = a;
        for (const auto &other : rows) {
            if (&other == &row)
                continue;
            for (auto &box : other.boxes(othersFilled))
                if (box.empty())
                    box = "0";
        }
        if (!RequiredEntriesFilled(othersFilled))
            missing.push_back(std::string(row.key) + " (" + std::string(row.name) + ")");
    }
    return missing;
}

} // namespace profile
