// The form model without a window: which sections every reachable set of
// answers leaves open, and what typing into the boxes does.
#include "configuration_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace {

using Key = std::tuple<Protocol, bool, bool, bool>; // protocol, DHCP, several NBXs, remote NBX
using Open = std::tuple<bool, bool, bool, bool, bool>; // DHCP question, own IP, NBX IP, NBX MAC, remote question

Key KeyOf(const ConfigurationForm &f)
{
    const Answers &a = f.Current();
    return {a.protocol, a.dhcpServer, a.moreThanOneNbx, a.remoteNbx};
}

Open OpenOf(const ConfigurationForm &f)
{
    const Sections &s = f.Open();
    return {s.dhcpChoice, s.ipSettings, s.nbxIp, s.nbxMac, s.remoteChoice};
}

// Every form a person reaches from a fresh one by clicking open option
// buttons and Clear, with the sections it then shows.
const std::map<Key, std::set<Open>> &Reachable()
{
    static const std::map<Key, std::set<Open>> reached = [] {
        std::map<Key, std::set<Open>> out;
        std::set<std::pair<Key, Open>> seen;
        std::vector<ConfigurationForm> queue(1);
        while (!queue.empty()) {
            const ConfigurationForm form = queue.back();
            queue.pop_back();
            if (!seen.insert({KeyOf(form), OpenOf(form)}).second)
                continue;
            out[KeyOf(form)].insert(OpenOf(form));
            const auto then = [&](auto step) {
                queue.push_back(form);
                step(queue.back());
            };
            for (const Protocol p : {Protocol::Ethernet, Protocol::IPOnTheFly, Protocol::StandardIP})
                then([p](ConfigurationForm &f) { f.ChooseProtocol(p); });
            then([](ConfigurationForm &f) { f.Clear(); });
            for (const Question q : {Question::Dhcp, Question::SeveralNbx, Question::RemoteNbx})
                for (const bool yes : {false, true})
                    if (form.IsOpen(q))
                        then([q, yes](ConfigurationForm &f) { f.Answer(q, yes); });
        }
        return out;
    }();
    return reached;
}

struct StateRow {
    const char *name;
    Protocol protocol;
    std::optional<bool> dhcp, several, remote; // none: either
    Open open;
    bool Matches(const Key &k) const
    {
        const auto either = [](std::optional<bool> want, bool have) { return !want || *want == have; };
        return std::get<0>(k) == protocol && either(dhcp, std::get<1>(k)) && either(several, std::get<2>(k))
            && either(remote, std::get<3>(k));
    }
};

void PrintTo(const StateRow &row, std::ostream *os) { *os << row.name; }

// The sections follow the answers, whatever their order: one row a situation.
const StateRow kStates[] = {
    {"EthernetOneNbx", Protocol::Ethernet, {}, false, {}, {false, false, false, false, false}},
    {"EthernetSeveralNbxByMacAlone", Protocol::Ethernet, {}, true, {}, {false, false, false, true, false}},
    {"OnTheFlyLocalOneNbx", Protocol::IPOnTheFly, {}, false, false, {false, false, false, false, true}},
    {"OnTheFlyLocalSeveralNbx", Protocol::IPOnTheFly, {}, true, false, {false, false, true, true, true}},
    {"OnTheFlyRemoteNoDhcp", Protocol::IPOnTheFly, false, {}, true, {true, true, true, true, true}},
    {"OnTheFlyRemoteDhcp", Protocol::IPOnTheFly, true, {}, true, {true, false, true, true, true}},
    {"StandardOneLocalNbxNoDhcp", Protocol::StandardIP, false, false, false, {true, true, false, false, true}},
    {"StandardOneLocalNbxDhcp", Protocol::StandardIP, true, false, false, {true, false, false, false, true}},
    {"StandardSeveralNbxNoDhcp", Protocol::StandardIP, false, true, {}, {true, true, true, true, true}},
    {"StandardSeveralNbxDhcp", Protocol::StandardIP, true, true, {}, {true, false, true, true, true}},
    {"StandardRemoteNoDhcp", Protocol::StandardIP, false, {}, true, {true, true, true, true, true}},
    {"StandardRemoteDhcp", Protocol::StandardIP, true, {}, true, {true, false, true, true, true}},
};

class FormState : public testing::TestWithParam<StateRow> {};

TEST_P(FormState, EveryWayThereOpensTheSameSections)
{
    int reached = 0;
    for (const auto &[key, opens] : Reachable()) {
        if (!GetParam().Matches(key))
            continue;
        ++reached;
        EXPECT_EQ(opens, std::set<Open> {GetParam().open});
    }
    EXPECT_GT(reached, 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, FormState, testing::ValuesIn(kStates),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FormState, EveryReachableFormHasItsRow)
{
    for (const auto &[key, opens] : Reachable())
        EXPECT_TRUE(std::any_of(std::begin(kStates), std::end(kStates), [&](const StateRow &r) { return r.Matches(key); }))
            << "protocol " << static_cast<int>(std::get<0>(key));
}

TEST(FormState, ClearKeepsTheRemoteAnswerAndClosesEverything)
{
    ConfigurationForm form;
    form.ChooseProtocol(Protocol::StandardIP);
    form.Answer(Question::RemoteNbx, true);
    form.FocusOn(BoxId {Row::NbxMac, 0});
    form.Type("aa");
    form.SetCountry("United Kingdom");
    form.Clear();
    EXPECT_EQ(KeyOf(form), Key(Protocol::Ethernet, false, false, true));
    EXPECT_EQ(OpenOf(form), Open(false, false, false, false, false));
    EXPECT_EQ(form.Current().mac[0], "");
    EXPECT_EQ(form.Current().country, kNoCountry);
    // Ethernet with the remote Yes left over needs both NBX addresses.
    EXPECT_FALSE(form.Ready());
}

struct TypingRow {
    const char *name;
    BoxId box;        // where the focus is put
    const char *keys; // typed there, or with `edit` the box's whole text after an edit
    bool edit;
    const char *texts; // the row, box by box
    BoxId focus;
};

void PrintTo(const TypingRow &row, std::ostream *os) { *os << row.name; }

class Typing : public testing::TestWithParam<TypingRow> {};

// With every row open: Standard IP, DHCP No, several NBXs.
TEST_P(Typing, FillsTheRowAndMovesTheFocus)
{
    const auto &row = GetParam();
    ConfigurationForm form;
    form.ChooseProtocol(Protocol::StandardIP);
    form.Answer(Question::SeveralNbx, true);
    form.FocusOn(row.box);
    if (row.edit)
        form.Edit(row.box, row.keys);
    else
        form.Type(row.keys);
    std::string texts;
    for (const auto &text : TextsOf(form.Current(), row.box.row))
        texts += text + "|";
    texts.pop_back();
    EXPECT_EQ(texts, row.texts);
    EXPECT_EQ(form.Focus(), row.focus);
}

constexpr BoxId Ip(int i) { return {Row::Ip, i - 1}; }
constexpr BoxId Sub(int i) { return {Row::Subnet, i - 1}; }
constexpr BoxId Gw(int i) { return {Row::Gateway, i - 1}; }
constexpr BoxId NbxIp(int i) { return {Row::NbxIp, i - 1}; }
constexpr BoxId Mac(int i) { return {Row::NbxMac, i - 1}; }

INSTANTIATE_TEST_SUITE_P(
    Keys, Typing,
    testing::Values(
        TypingRow {"DottedAddress", Ip(1), "192.168.0.10", false, "192|168|0|10", Ip(4)},
        TypingRow {"MacWithCapitals", Mac(1), "00:1A:2b:3C:4d:5E", false, "00|1a|2b|3c|4d|5e", Mac(6)},
        TypingRow {"FullBoxesWithoutDots", Ip(1), "100200", false, "100|200||", Ip(3)},
        TypingRow {"DotInEmptyFirstBoxMovesOn", Ip(1), ".", false, "|||", Ip(2)},
        TypingRow {"DigitThenDotInFirstBox", Sub(1), "1.", false, "1|||", Sub(2)},
        TypingRow {"DigitThenDotInMiddleBox", Gw(2), "1.", false, "|1||", Gw(3)},
        TypingRow {"DotInEmptyMiddleBoxIsSwallowed", Ip(3), ".", false, "|||", Ip(3)},
        TypingRow {"DotInEmptyLastBoxIsSwallowed", Ip(4), ".", false, "|||", Ip(4)},
        TypingRow {"DotAfterADigitStaysInTheLastBox", Ip(4), "1.", false, "|||1.", Ip(4)},
        TypingRow {"ThirdDigitMovesOn", Gw(3), "123", false, "||123|", Gw(4)},
        TypingRow {"LastBoxKeepsTheFocus", Sub(4), "2555", false, "|||255", Sub(4)},
        TypingRow {"ColonInEmptyMiddleMacBox", Mac(3), ":", false, "|||||", Mac(3)},
        TypingRow {"SecondHexDigitMovesOn", Mac(5), "fF", false, "||||ff|", Mac(6)},
        TypingRow {"LetterGDisappears", Mac(2), "g", false, "|||||", Mac(2)},
        TypingRow {"ColonCutInADecimalBox", Ip(2), "1:", false, "|1||", Ip(2)},
        TypingRow {"DotCutInAMacBox", Mac(1), "a.", false, "a|||||", Mac(1)},
        TypingRow {"NbxBoxHoldsAFourthDigit", NbxIp(2), "1234", true, "|1234||", NbxIp(2)},
        TypingRow {"NbxBoxBackToThreeDigitsMovesOn", NbxIp(2), "123", true, "|123||", NbxIp(3)},
        TypingRow {"LetterInsideABoxCutsTheRest", Ip(4), "1x2", true, "|||1", Ip(4)},
        TypingRow {"DotBetweenDigitsStays", Ip(1), "1.2", true, "1.2|||", Ip(2)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Typing, ClosedRowKeepsTheFocus)
{
    ConfigurationForm form; // Ethernet: the card's rows are closed
    form.FocusOn(Ip(1));
    form.Type("123");
    EXPECT_EQ(form.Current().ip[0], "123");
    EXPECT_EQ(form.Focus(), Ip(1));
}

// A key on a full box is dropped, as the line edit drops it: it runs nothing.
TEST(Typing, FullBoxDropsTheKeyAndKeepsTheFocus)
{
    ConfigurationForm form;
    form.ChooseProtocol(Protocol::StandardIP);
    form.FocusOn(Ip(1));
    form.Type("123");
    form.FocusOn(Ip(1));
    form.Type("4");
    EXPECT_EQ(form.Current().ip[0], "123");
    EXPECT_EQ(form.Current().ip[1], "");
    EXPECT_EQ(form.Focus(), Ip(1));
}

} // namespace
