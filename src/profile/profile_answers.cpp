#include "profile_answers.h"

#include "octet_field.h"
#include "profile_keys.h"
#include "readiness.h"
#include "section_rules.h"

#include <span>
#include <utility>

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

// The plain answers as a profile fills them in: the open sections follow
// the window's section rules.
// The address rows by profile key, in the window's order.
constexpr std::pair<std::string_view, AddressRow> kAddressRows[] = {
    {"ip", AddressRow::Ip},         {"subnet", AddressRow::Subnet}, {"gateway", AddressRow::Gateway},
    {"nbx_ip", AddressRow::NbxIp}, {"nbx_mac", AddressRow::NbxMac}};

struct RowParts {
    bool OpenSections::*isOpen;
    std::span<std::string> (*boxes)(Answers &);
    bool hex;
    int firstMaxLength, lastMaxLength; // as the window's boxes take them
};
const RowParts &PartsOf(AddressRow row)
{
    static const RowParts rows[] = { // in the order of AddressRow
        {&OpenSections::ipSettings, [](Answers &a) { return std::span<std::string>(a.ip); }, false, 3, 3},
        {&OpenSections::ipSettings, [](Answers &a) { return std::span<std::string>(a.subnet); }, false, 3, 3},
        {&OpenSections::ipSettings, [](Answers &a) { return std::span<std::string>(a.gateway); }, false, 3, 3},
        // the NBX row takes a fourth digit but advances at three
        {&OpenSections::nbxIp, [](Answers &a) { return std::span<std::string>(a.nbxIp); }, false, 4, 3},
        {&OpenSections::nbxMac, [](Answers &a) { return std::span<std::string>(a.mac); }, true, 2, 2},
    };
    return rows[static_cast<std::size_t>(row)];
}

class PlainEntry final : public AnswerEntry {
public:
    // A fresh window has chosen Ethernet.
    PlainEntry()
    {
        a_.protocol = Protocol::Ethernet;
        section_rules::ProtocolChosen(a_, open_);
    }

    void ChooseProtocol(Protocol protocol) override
    {
        if (protocol == a_.protocol)
            return;
        a_.protocol = protocol;
        section_rules::ProtocolChosen(a_, open_);
    }

    void Answer(Question question, bool yes) override
    {
        const auto &q = Of(question);
        if (!(open_.*q.isOpen) || a_.*q.field == yes)
            return;
        a_.*q.field = yes;
        q.rule(a_, open_);
    }

    [[nodiscard]] bool IsOpen(Question question) const override { return open_.*Of(question).isOpen; }
    [[nodiscard]] bool IsOpen(AddressRow row) const override { return open_.*PartsOf(row).isOpen; }

    void Type(AddressRow row, std::string_view text) override
    {
        const auto &r = PartsOf(row);
        if (open_.*r.isOpen)
            TypedRow(r.boxes(a_), r.hex, r.firstMaxLength, r.lastMaxLength).Type(text);
    }

    void PickCountry(std::string_view country) override { a_.country = country; }

    void SetCheck(AudioCheck check, bool checked) override
    {
        (check == AudioCheck::RememberAudio ? a_.rememberAudio : a_.boostAudio) =
            checked ? CheckState::Checked : CheckState::Unchecked;
    }

    [[nodiscard]] Answers Current() const override
    {
        Answers a = a_;
        a.nbxIpOpen = open_.nbxIp;
        return a;
    }

private:
    struct QuestionParts {
        bool OpenSections::*isOpen;
        bool Answers::*field;
        void (*rule)(const Answers &, WindowSections &);
    };
    static const QuestionParts &Of(Question question)
    {
        static const QuestionParts remote {&OpenSections::remoteChoice, &Answers::remoteNbx,
                                           section_rules::RemoteNBXAnswered};
        static const QuestionParts dhcp {&OpenSections::dhcpChoice, &Answers::dhcpServer,
                                         section_rules::DHCPServerAnswered};
        static const QuestionParts several {&OpenSections::always, &Answers::moreThanOneNbx,
                                            section_rules::MoreThanOneNBXAnswered};
        return question == Question::RemoteNbx ? remote : question == Question::Dhcp ? dhcp : several;
    }


    Answers a_;
    OpenSections open_;
};

} // namespace

std::vector<std::string> EnterSettings(const Settings &settings, AnswerEntry &entry)
{
    std::vector<std::string> unused;
    const auto given = [&](std::string_view key) -> const std::string * {
        const auto it = settings.find(key);
        return it == settings.end() ? nullptr : &it->second.value;
    };
    const auto notUsed = [&](std::string_view key) {
        unused.push_back("not used: " + std::string(key) + " (" + ClosedBecause(key, entry.Current()) + ")");
    };

    if (const auto *value = given("protocol"))
        entry.ChooseProtocol(ProtocolFromValue(*value));
    // The remote question first: under IP On the Fly it opens the DHCP question.
    static constexpr std::pair<std::string_view, Question> kQuestions[] = {
        {"remote_nbx", Question::RemoteNbx}, {"dhcp", Question::Dhcp}, {"several_nbx", Question::SeveralNbx}};
    for (const auto &[key, question] : kQuestions) {
        if (const auto *value = given(key)) {
            if (entry.IsOpen(question))
                entry.Answer(question, *value == "yes");
            else
                notUsed(key);
        }
    }
    for (const auto &[key, row] : kAddressRows) {
        if (const auto *value = given(key)) {
            if (entry.IsOpen(row))
                entry.Type(row, *value);
            else
                notUsed(key);
        }
    }
    if (const auto *value = given("country"))
        entry.PickCountry(*value);
    static constexpr std::pair<std::string_view, AudioCheck> kChecks[] = {
        {"remember_audio", AudioCheck::RememberAudio}, {"boost_audio", AudioCheck::BoostAudio}};
    for (const auto &[key, check] : kChecks)
        if (const auto *value = given(key))
            entry.SetCheck(check, *value == "yes");
    return unused;
}

FilledAnswers FillAnswers(const Settings &settings)
{
    PlainEntry entry;
    FilledAnswers filled;
    filled.unused = EnterSettings(settings, entry);
    filled.answers = entry.Current();
    return filled;
}

std::vector<std::string> MissingEntries(const Answers &a)
{
    if (RequiredEntriesFilled(a))
        return {};
    // A row is missing when readiness still fails with every other row filled.
    std::vector<std::string> missing;
    for (const auto &[key, row] : kAddressRows) {
        Answers othersFilled = a;
        for (const auto &[otherKey, other] : kAddressRows) {
            if (other == row)
                continue;
            for (auto &box : PartsOf(other).boxes(othersFilled))
                if (box.empty())
                    box = "0";
        }
        if (!RequiredEntriesFilled(othersFilled))
            missing.push_back(std::string(key) + " (" + std::string(FindKey(key)->shape.row) + ")");
    }
    return missing;
}

} // namespace profile
