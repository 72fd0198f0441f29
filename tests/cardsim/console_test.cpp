// The virtual card's console on its own: every kind of line, confirmations,
// refusals, and the same stream cut into reads in any way. Every line is
// written out byte for byte: the card checks the wire, so it must not share
// the tool's own line builders.
#include "console.h"
#include "tovrik_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

using cardsim::CardConfig;
using cardsim::Console;

namespace {

std::string Join(const std::vector<std::string> &lines)
{
    std::string out;
    for (const auto &line : lines)
        out += line;
    return out;
}

// What a whole stream leaves behind: everything the card said, what it
// stored, and every configuration it stored on the way.
struct Outcome {
    std::string output;
    CardConfig stored;
    std::vector<CardConfig> stores;
    bool operator==(const Outcome &) const = default;
};

Outcome FeedInPieces(std::string_view stream, const std::vector<std::size_t> &cuts)
{
    Outcome outcome;
    Console console([&](const CardConfig &c) { outcome.stores.push_back(c); });
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        console.Feed(stream.substr(from, cut - from));
        outcome.output += console.TakeOutput();
        from = cut;
    }
    console.Feed(stream.substr(from));
    outcome.output += console.TakeOutput();
    outcome.stored = console.Stored();
    return outcome;
}

Outcome Feed(std::string_view stream) { return FeedInPieces(stream, {}); }

int Count(const std::string &text, std::string_view what)
{
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A configuration the tool could send for Standard IP without DHCP.
std::vector<std::string> StandardStatic()
{
    return {"%CB\r", "%CR0\r", "%CP0\r", "%CI10.0.0.5\ry", "%CS255.255.255.0\ry", "%CG10.0.0.1\ry",
            "%CK1\r", "%CQ0\r", "%CE\r"};
}

CardConfig StandardStaticStored()
{
    CardConfig c;
    c.remote = false;
    c.dhcp = false;
    c.ip = "10.0.0.5";
    c.subnet = "255.255.255.0";
    c.gateway = "10.0.0.1";
    c.rememberAudio = true;
    c.boostAudio = false;
    return c;
}

// ---- every sequence the tool can send is applied as sent -------------------

struct ToolSequence {
    const char *name;
    std::vector<std::string> lines;
    CardConfig stored;
};

CardConfig Make(std::optional<bool> remote, std::optional<bool> dhcp, bool ownAddresses,
                std::optional<bool> onTheFly, bool nbx, std::optional<int> country)
{
    CardConfig c;
    c.remote = remote;
    c.dhcp = dhcp;
    if (ownAddresses) {
        c.ip = "192.168.1.20";
        c.subnet = "255.255.0.0";
        c.gateway = "192.168.1.1";
    }
    c.onTheFly = onTheFly;
    if (nbx) {
        c.nbxIp = "0.0.0.0";
        c.nbxMac = "0:1b:c2:d3:e4:ff";
    }
    c.country = country;
    c.rememberAudio = false;
    c.boostAudio = true;
    return c;
}

std::vector<ToolSequence> ToolSequences()
{
    const auto own = std::vector<std::string> {"%CI192.168.1.20\ry", "%CS255.255.0.0\ry", "%CG192.168.1.1\ry"};
    const auto nbx = std::vector<std::string> {"%CN0.0.0.0\ry", "%CM0:1b:c2:d3:e4:ff\ry"};
    auto build = [&](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> lines;
        for (const auto &part : parts)
            lines.insert(lines.end(), part.begin(), part.end());
        // A greyed box goes out as 0, the same as a clear one.
        const auto tail = std::vector<std::string> {"%CK0\r", "%CQ1\r", "%CE\r"};
        lines.insert(lines.end(), tail.begin(), tail.end());
        return lines;
    };
    return {
        {"StandardDhcp", build({{"%CB\r", "%CR0\r", "%CP1\r"}}), Make(false, true, false, {}, false, {})},
        {"StandardStaticWithNbxAndCountry", build({{"%CB\r", "%CR0\r", "%CP0\r"}, own, nbx, {"%CV1\r"}}),
         Make(false, false, true, {}, true, 1)},
        {"OnTheFlyRemoteDhcp", build({{"%CB\r", "%CR1\r", "%CP1\r", "%CF1\r"}, nbx}),
         Make(true, true, false, true, true, {})},
        {"OnTheFlyRemoteStaticThirteenLines",
         build({{"%CB\r", "%CR1\r", "%CP0\r"}, own, {"%CF1\r"}, nbx, {"%CV2\r"}}),
         Make(true, false, true, true, true, 2)},
        {"OnTheFlyLocalSixLines", build({{"%CB\r", "%CR0\r", "%CF1\r"}}), Make(false, {}, false, true, false, {})},
        {"EthernetWithRemoteLeftSelected", build({{"%CB\r", "%CR1\r", "%CP0\r", "%CF0\r"}, nbx}),
         Make(true, false, false, false, true, {})},
    };
}

void PrintTo(const ToolSequence &row, std::ostream *os) { *os << row.name; }

class ToolSequenceTest : public testing::TestWithParam<ToolSequence> {};

TEST_P(ToolSequenceTest, IsAppliedExactlyAsSent)
{
    const auto &row = GetParam();
    ASSERT_GE(row.lines.size(), 6u);
    ASSERT_LE(row.lines.size(), 13u);
    const Outcome out = Feed(Join(row.lines));
    EXPECT_EQ(Count(out.output, "ERR"), 0) << out.output;
    EXPECT_NE(out.output.find("OK configuration applied; restarting\r\nBrenlock card ready\r\n"), std::string::npos);
    EXPECT_EQ(out.stored, row.stored);
    ASSERT_EQ(out.stores.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Configure, ToolSequenceTest, testing::ValuesIn(ToolSequences()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Console, EveryLineGetsItsAnswer)
{
    const Outcome out = Feed(Join(StandardStatic()));
    EXPECT_EQ(out.output,
              "OK begin\r\n"
              "OK remote=0\r\n"
              "OK dhcp=0\r\n"
              "Set card IP address to 10.0.0.5 (y/n)? y\r\nOK ip=10.0.0.5\r\n"
              "Set subnet mask to 255.255.255.0 (y/n)? y\r\nOK subnet=255.255.255.0\r\n"
              "Set default gateway to 10.0.0.1 (y/n)? y\r\nOK gateway=10.0.0.1\r\n"
              "OK remember_audio=1\r\n"
              "OK boost_audio=0\r\n"
              "OK configuration applied; restarting\r\n"
              "Brenlock card ready\r\n");
    EXPECT_EQ(out.stored, StandardStaticStored());
}

TEST(Console, ANewConfigurationReplacesTheWholeStoredOne)
{
    const std::string second = "%CB\r%CR0\r%CF1\r%CK0\r%CQ0\r%CE\r";
    const Outcome out = Feed(Join(StandardStatic()) + second);
    EXPECT_FALSE(out.stored.ip.has_value());
    EXPECT_FALSE(out.stored.dhcp.has_value());
    EXPECT_EQ(out.stored.onTheFly, true);
    EXPECT_EQ(out.stores.size(), 2u);
}

TEST(Console, ClearErasesAndRestarts)
{
    const Outcome out = Feed(Join(StandardStatic()) + "%CC\r");
    EXPECT_EQ(out.stored, CardConfig {});
    ASSERT_EQ(out.stores.size(), 2u);
    EXPECT_EQ(out.stores.back(), CardConfig {});
    EXPECT_TRUE(out.output.ends_with("OK configuration erased; restarting\r\nBrenlock card ready\r\n"));
}

TEST(Console, ClearDuringAConfigurationDropsIt)
{
    const Outcome out = Feed("%CB\r%CR1\r%CC\r%CE\r");
    EXPECT_TRUE(out.output.ends_with("ERR %CE without %CB\r\n")) << out.output;
    EXPECT_EQ(out.stored, CardConfig {});
}

TEST(Console, ListPrintsTheRunningConfigurationAndBuildWithoutDisturbingAPendingOne)
{
    auto lines = StandardStatic();
    lines.insert(lines.begin() + 3, "%CL\r");
    const Outcome out = Feed(Join(lines) + "%CL\r");
    EXPECT_EQ(Count(out.output, "ERR"), 0) << out.output;
    EXPECT_EQ(out.stored, StandardStaticStored());
    // The first listing, of an erased card, then the second.
    EXPECT_NE(out.output.find("running configuration:\r\n  remote=-\r\n  dhcp=-\r\n  ip=-\r\n"), std::string::npos);
    EXPECT_TRUE(out.output.ends_with("running configuration:\r\n"
                                     "  remote=0\r\n  dhcp=0\r\n  ip=10.0.0.5\r\n  subnet=255.255.255.0\r\n"
                                     "  gateway=10.0.0.1\r\n  on_the_fly=-\r\n  nbx_ip=-\r\n  nbx_mac=-\r\n"
                                     "  country=-\r\n  remember_audio=1\r\n  boost_audio=0\r\n"
                                     "build: brenlock-sim " TOVRIK_VERSION " (virtual Brenlock card)\r\nOK\r\n"))
        << out.output;
}

// ---- the confirmation after address lines ---------------------------------

struct ConfirmCase {
    const char *name;
    std::string afterSubnet; // what follows the subnet line's carriage return
    bool applied;
    const char *answer;
};

void PrintTo(const ConfirmCase &row, std::ostream *os) { *os << row.name; }

class ConfirmTest : public testing::TestWithParam<ConfirmCase> {};

TEST_P(ConfirmTest, DecidesWhetherTheAddressIsTaken)
{
    const auto &row = GetParam();
    auto lines = StandardStatic();
    lines[4] = "%CS255.255.255.0\r" + row.afterSubnet;
    const Outcome out = Feed(Join(lines));
    EXPECT_NE(out.output.find(row.answer), std::string::npos) << out.output;
    EXPECT_EQ(out.stores.size(), row.applied ? 1u : 0u) << out.output;
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConfirmTest,
    testing::Values(ConfirmCase {"LowerY", "y", true, "? y\r\nOK subnet=255.255.255.0\r\n"},
                    ConfirmCase {"UpperY", "Y", true, "OK subnet=255.255.255.0\r\n"},
                    ConfirmCase {"YAfterBlanks", "\r\n y", true, "OK subnet=255.255.255.0\r\n"},
                    // Declined: the subnet stays unset and the configuration is incomplete.
                    ConfirmCase {"No", "n", false, "? n\r\nOK subnet left unset\r\n"},
                    ConfirmCase {"NextLineInstead", "", false, "ERR %CS not confirmed; line dropped\r\n"},
                    ConfirmCase {"OtherByte", "x", false, "ERR %CS expected y or n; line dropped\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Console, DecliningBothNbxAddressesLeavesThemOut)
{
    auto lines = StandardStatic();
    lines.insert(lines.end() - 3, {"%CN10.0.0.9\rn", "%CMaa:bb:cc:dd:ee:ff\rn"});
    const Outcome out = Feed(Join(lines));
    EXPECT_EQ(out.stored, StandardStaticStored()) << out.output;
}

// ---- refused lines ---------------------------------------------------------

struct BadLine {
    const char *name;
    std::string line; // replaces the remote line of a good configuration
    const char *error;
};

void PrintTo(const BadLine &row, std::ostream *os) { *os << row.name; }

class BadLineTest : public testing::TestWithParam<BadLine> {};

TEST_P(BadLineTest, IsAnsweredAndMakesEndRejectTheConfiguration)
{
    const auto &row = GetParam();
    auto lines = StandardStatic();
    lines[1] = row.line + "%CR0\r";
    const std::string stream = Join(StandardStatic()) + "%CC\r" + Join(lines);
    const Outcome out = Feed(stream);
    EXPECT_EQ(Count(out.output, "ERR"), 2) << out.output;
    EXPECT_NE(out.output.find(std::string("ERR ") + row.error), std::string::npos) << out.output;
    EXPECT_TRUE(out.output.ends_with("ERR configuration rejected: 1 faulty line since %CB; nothing applied\r\n"))
        << out.output;
    EXPECT_EQ(out.stored, CardConfig {});
    EXPECT_EQ(out.stores.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Console, BadLineTest,
    testing::Values(
        BadLine {"OctetTooBig", "%CI999.0.0.5\ry", "bad value for %CI: \"999.0.0.5\""},
        BadLine {"OctetOneOver", "%CI256.0.0.1\ry", "bad value for %CI: \"256.0.0.1\""},
        BadLine {"FiveOctets", "%CS1.2.3.4.5\ry", "bad value for %CS: \"1.2.3.4.5\""},
        BadLine {"EmptyOctet", "%CG10..0.1\ry", "bad value for %CG: \"10..0.1\""},
        BadLine {"ThreeOctets", "%CN1.2.3\ry", "bad value for %CN"},
        BadLine {"FourDigitOctet", "%CI0010.0.0.1\ry", "bad value for %CI"},
        BadLine {"EmptyAddress", "%CI\ry", "bad value for %CI: \"\""},
        BadLine {"TrailingBlank", "%CI1.2.3.4 \ry", "bad value for %CI"},
        BadLine {"Letters", "%CIa.b.c.d\ry", "bad value for %CI"},
        BadLine {"MacFiveOctets", "%CM00:11:22:33:44\ry", "bad value for %CM"},
        BadLine {"MacEmptyOctet", "%CM00:11::33:44:55\ry", "bad value for %CM"},
        BadLine {"MacNotHex", "%CM00:11:22:33:44:5g\ry", "bad value for %CM"},
        BadLine {"MacDashes", "%CM00-11-22-33-44-55\ry", "bad value for %CM"},
        BadLine {"MacThreeDigits", "%CM001:11:22:33:44:55\ry", "bad value for %CM"},
        BadLine {"FlagTwo", "%CP2\r", "bad value for %CP: \"2\""},
        BadLine {"FlagEmpty", "%CF\r", "bad value for %CF"},
        BadLine {"FlagTwoDigits", "%CK01\r", "bad value for %CK"},
        BadLine {"CountryThree", "%CV3\r", "bad value for %CV"},
        BadLine {"EndWithValue", "%CQ1\r%CEnow\r", "%CE takes no value"},
        BadLine {"ControlByteShownEscaped", std::string("%CP\x01\r"), "bad value for %CP: \"\\x01\""},
        BadLine {"UnknownLetter", "%CZ1\r", "unknown command %CZ; skipping to the next %"},
        BadLine {"LowerCaseLetter", "%cB\r", "expected a line starting with %C"},
        BadLine {"NoLetter", "%C\r", "no command letter after %C"},
        BadLine {"CutShort", "%CI10.0", "%CI line cut short by a new %"},
        BadLine {"Overlong", "%CI" + std::string(5000, '1') + "\ry", "%CI line too long; skipping to the next %"},
        BadLine {"Noise", "hello\r\n", "expected a line starting with %C"},
        BadLine {"StrayConfirmation", "y", "expected a line starting with %C"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Console, EdgeAddressesAreTakenAsTyped)
{
    auto lines = StandardStatic();
    lines[3] = "%CI010.0.0.255\ry";
    lines[4] = "%CS0.0.0.0\ry";
    lines.insert(lines.end() - 3, {"%CN255.255.255.255\ry", "%CMA:b:C:d:E:f\ry"});
    const Outcome out = Feed(Join(lines));
    EXPECT_EQ(Count(out.output, "ERR"), 0) << out.output;
    EXPECT_EQ(out.stored.ip, "010.0.0.255");
    EXPECT_EQ(out.stored.subnet, "0.0.0.0");
    EXPECT_EQ(out.stored.nbxIp, "255.255.255.255");
    EXPECT_EQ(out.stored.nbxMac, "A:b:C:d:E:f");

    // Both ends of the octet range, on every address line.
    for (const std::string edge : {"0.0.0.0", "255.255.255.255"}) {
        lines = StandardStatic();
        lines[3] = "%CI" + edge + "\ry";
        lines[4] = "%CS" + edge + "\ry";
        lines[5] = "%CG" + edge + "\ry";
        lines.insert(lines.end() - 3, {"%CN" + edge + "\ry", "%CMa:b:c:d:e:f\ry"});
        const Outcome at = Feed(Join(lines));
        EXPECT_EQ(Count(at.output, "ERR"), 0) << at.output;
        const CardConfig &c = at.stored;
        EXPECT_TRUE(c.ip == edge && c.subnet == edge && c.gateway == edge && c.nbxIp == edge) << at.output;
    }
}

TEST(Console, SettingsOutsideAConfigurationAreRefusedOneAnswerEach)
{
    const std::vector<std::string> lines = {"%CR1\r",         "%CP1\r", "%CI1.2.3.4\ry", "%CS255.0.0.0\ry",
                                            "%CG1.2.3.1\ry",  "%CF1\r", "%CN1.2.3.9\ry", "%CMa:b:c:d:e:f\ry",
                                            "%CV2\r",         "%CK1\r", "%CQ1\r",        "%CE\r"};
    const Outcome out = Feed(Join(lines));
    // The "y" after a refused address line is taken quietly.
    EXPECT_EQ(Count(out.output, "ERR"), 12) << out.output;
    EXPECT_EQ(Count(out.output, "outside a configuration; send %CB first"), 11);
    EXPECT_EQ(out.output.find("(y/n)"), std::string::npos);
    EXPECT_TRUE(out.stores.empty());
}

TEST(Console, BeginTwiceDropsTheUnfinishedConfiguration)
{
    const Outcome out = Feed("%CB\r%CR1\r%CI1.2.3.4\ry" + Join(StandardStatic()));
    EXPECT_NE(out.output.find("OK begin; the unfinished configuration was dropped"), std::string::npos);
    EXPECT_EQ(out.stored, StandardStaticStored());
}

struct Incomplete {
    const char *name;
    std::string lines; // between %CB and %CE
    const char *reason;
};

void PrintTo(const Incomplete &row, std::ostream *os) { *os << row.name; }

class IncompleteTest : public testing::TestWithParam<Incomplete> {};

TEST_P(IncompleteTest, IsRejectedWithItsReason)
{
    const auto &row = GetParam();
    const Outcome out = Feed("%CB\r" + row.lines + "%CE\r");
    EXPECT_TRUE(out.output.ends_with(std::string("ERR configuration rejected: ") + row.reason
                                     + "; nothing applied\r\n"))
        << out.output;
    EXPECT_TRUE(out.stores.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Console, IncompleteTest,
    testing::Values(
        Incomplete {"NoRemote", "%CP1\r%CK0\r%CQ0\r", "no %CR line"},
        Incomplete {"NoProtocol", "%CR0\r%CK0\r%CQ0\r", "neither %CP nor %CF"},
        Incomplete {"PartOfTheOwnAddresses", "%CR0\r%CP1\r%CI1.2.3.4\ry%CK0\r%CQ0\r", "%CI, %CS and %CG go together"},
        Incomplete {"StaticWithoutAddresses", "%CR0\r%CP0\r%CK0\r%CQ0\r", "DHCP off but no %CI, %CS, %CG"},
        Incomplete {"StaticOnTheFlyWithoutAddresses", "%CR1\r%CP0\r%CF1\r%CK0\r%CQ0\r",
                    "DHCP off but no %CI, %CS, %CG"},
        Incomplete {"NbxIpWithoutMac", "%CR0\r%CF1\r%CN1.2.3.4\ry%CK0\r%CQ0\r", "%CN and %CM go together"},
        Incomplete {"NoRememberAudio", "%CR0\r%CF1\r%CQ0\r", "no %CK line"},
        Incomplete {"NoBoostAudio", "%CR0\r%CF1\r%CK0\r", "no %CQ line"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the byte stream in pieces, and garbage ---------------------------------

std::string MixedStream()
{
    return Join(StandardStatic()) + "%CL\r" + "noise\r\n%CZ\r%CI1.2.3.4\ry" + "%CB\r%CR1\r%CP1\r%CN10..0.1\ry%CE\r"
        + "%CB\r%CR1\r%CF1\r%CN10.0.0.2\r%CMaa:bb:cc:dd:ee:ff\ry%CK1\r%CQ1\r%CE\r" + "%CI" + std::string(100, '7')
        + "\ry" + "%CB\r%CR0\r%CF1\r%CN10.0.0.2\ry%CMaa:bb:cc:dd:ee:ff\rY%CV2\r%CK1\r%CQ1\r%CE\r%CL\r%CC\r%CL\r";
}

TEST(Console, AnySplitOfTheStreamGivesTheSameResult)
{
    const std::string stream = MixedStream();
    const Outcome whole = Feed(stream);
    ASSERT_EQ(whole.stores.size(), 3u) << whole.output; // one apply, one more apply, one erase

    std::vector<std::size_t> everyByte(stream.size() - 1);
    std::iota(everyByte.begin(), everyByte.end(), 1);
    EXPECT_EQ(FeedInPieces(stream, everyByte), whole);

    std::mt19937 rng(6);
    for (int round = 0; round < 300; ++round) {
        std::uniform_int_distribution<std::size_t> at(0, stream.size());
        std::vector<std::size_t> cuts(std::uniform_int_distribution<int>(1, 40)(rng));
        for (auto &cut : cuts)
            cut = at(rng);
        std::sort(cuts.begin(), cuts.end());
        ASSERT_EQ(FeedInPieces(stream, cuts), whole) << "round " << round;
    }
}

TEST(Console, RandomBytesNeverGrowItAndItResynchronisesAtTheNextPercent)
{
    // Mostly the protocol's own characters, so that the garbage reaches
    // every state, with any byte now and then.
    const std::string alphabet = "%%%%CCCCBRPISGFNMVKQELZyn\r\r\r\n 0123456789..::abcdef";
    std::mt19937 rng(42);
    std::vector<CardConfig> stores;
    Console console([&](const CardConfig &c) { stores.push_back(c); });
    const std::string good = Join(StandardStatic());
    for (int round = 0; round < 2000; ++round) {
        std::string garbage(std::uniform_int_distribution<int>(0, 300)(rng), '\0');
        for (char &c : garbage) {
            const int pick = std::uniform_int_distribution<int>(0, 9)(rng);
            c = pick == 0 ? char(rng()) : alphabet[rng() % alphabet.size()];
        }
        console.Feed(garbage);
        ASSERT_LE(console.BufferedBytes(), Console::kMaxValue);
        (void)console.TakeOutput();

        const std::size_t storesBefore = stores.size();
        console.Feed(good);
        const std::string answer = console.TakeOutput();
        // At most one complaint about where the garbage left off, then the
        // configuration goes through.
        ASSERT_LE(Count(answer, "ERR"), 1) << "round " << round << ": " << answer;
        ASSERT_TRUE(answer.ends_with("OK configuration applied; restarting\r\nBrenlock card ready\r\n"))
            << "round " << round << ": " << answer;
        ASSERT_EQ(stores.size(), storesBefore + 1);
        ASSERT_EQ(console.Stored(), StandardStaticStored());
    }
}

TEST(Console, AnOverlongLineIsDroppedWithOneAnswerAndBoundedMemory)
{
    Console console;
    console.Feed("%CB\r%CI");
    for (int i = 0; i < 1000; ++i) {
        console.Feed(std::string(1000, '9'));
        ASSERT_LE(console.BufferedBytes(), Console::kMaxValue);
    }
    console.Feed("\ry%CL\r");
    const std::string out = console.TakeOutput();
    EXPECT_EQ(Count(out, "ERR"), 1) << out;
    EXPECT_NE(out.find("ERR %CI line too long; skipping to the next %\r\nrunning configuration:"), std::string::npos);
}

// ---- the state file's content ---------------------------------------------

TEST(CardConfigJson, ErasedCardIsAllNull)
{
    EXPECT_EQ(cardsim::ToJson(CardConfig {}),
              "{\n  \"remote\": null,\n  \"dhcp\": null,\n  \"ip\": null,\n  \"subnet\": null,\n"
              "  \"gateway\": null,\n  \"on_the_fly\": null,\n  \"nbx_ip\": null,\n  \"nbx_mac\": null,\n"
              "  \"country\": null,\n  \"remember_audio\": null,\n  \"boost_audio\": null\n}\n");
}

TEST(CardConfigJson, EveryFieldInItsOwnType)
{
    CardConfig c = StandardStaticStored();
    c.onTheFly = true;
    c.nbxIp = "10.0.0.9";
    c.nbxMac = "aa:bb:cc:dd:ee:ff";
    c.country = 2;
    EXPECT_EQ(cardsim::ToJson(c),
              "{\n  \"remote\": false,\n  \"dhcp\": false,\n  \"ip\": \"10.0.0.5\",\n"
              "  \"subnet\": \"255.255.255.0\",\n  \"gateway\": \"10.0.0.1\",\n  \"on_the_fly\": true,\n"
              "  \"nbx_ip\": \"10.0.0.9\",\n  \"nbx_mac\": \"aa:bb:cc:dd:ee:ff\",\n  \"country\": 2,\n"
              "  \"remember_audio\": true,\n  \"boost_audio\": false\n}\n");
}

} // namespace
