// The window's rules without a window: what Configure requires, which lines
// it sends, and which addresses it refuses.
#include "address_check.h"
#include "answers.h"
#include "configuration.h"
#include "readiness.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Proto = Protocol;
enum class Remote { No, Yes };

Answers Make(Protocol p, Remote remote, bool moreThanOneNbx, bool dhcpServer)
{
    Answers a;
    a.protocol = p;
    a.remoteNbx = remote == Remote::Yes;
    a.moreThanOneNbx = moreThanOneNbx;
    a.dhcpServer = dhcpServer;
    a.ip = {"10", "0", "0", "5"};
    a.subnet = {"255", "255", "255", "0"};
    a.gateway = {"10", "0", "0", "1"};
    a.nbxIp = {"10", "0", "0", "9"};
    a.mac = {"00", "e0", "bb", "01", "02", "03"};
    return a;
}

enum Set { OwnIP = 1, NBXIP = 2, NBXMac = 4 };

struct ReadinessRow {
    const char *name;
    Proto proto;
    Remote remote;
    bool moreThanOneNbx;
    bool dhcpServer;
    int required;
};

class Readiness : public testing::TestWithParam<ReadinessRow> {};

// Emptying any one box of a required set blocks Configure; emptying boxes of
// the other sets does not.
TEST_P(Readiness, RequiresExactlyTheRowsBoxes)
{
    const auto &row = GetParam();
    const Answers full = Make(row.proto, row.remote, row.moreThanOneNbx, row.dhcpServer);
    EXPECT_TRUE(RequiredEntriesFilled(full));

    const auto check = [&](int set, auto emptyOne, int boxes) {
        for (int i = 0; i < boxes; ++i) {
            Answers a = full;
            emptyOne(a, i);
            EXPECT_EQ(RequiredEntriesFilled(a), !(row.required & set)) << "set " << set << " box " << i;
        }
    };
    check(OwnIP, [](Answers &a, int i) { (i < 4 ? a.ip : i < 8 ? a.subnet : a.gateway)[i % 4].clear(); }, 12);
    check(NBXIP, [](Answers &a, int i) { a.nbxIp[i].clear(); }, 4);
    check(NBXMac, [](Answers &a, int i) { a.mac[i].clear(); }, 6);
}

const ReadinessRow kReadinessRows[] = {
    {"EthernetNoNo", Proto::Ethernet, Remote::No, false, false, 0},
    {"EthernetNoNoDhcp", Proto::Ethernet, Remote::No, false, true, 0},
    {"EthernetMoreNBX", Proto::Ethernet, Remote::No, true, false, NBXMac},
    {"EthernetRemoteLeftOver", Proto::Ethernet, Remote::Yes, false, true, NBXIP | NBXMac},
    {"OnTheFlyNoNo", Proto::IPOnTheFly, Remote::No, false, false, 0},
    {"NoneNoNo", Proto::None, Remote::No, false, true, 0},
    {"OnTheFlyMoreNBX", Proto::IPOnTheFly, Remote::No, true, true, NBXIP | NBXMac},
    {"NoneMoreNBX", Proto::None, Remote::No, true, false, NBXIP | NBXMac},
    {"StandardNoNoNoDhcp", Proto::StandardIP, Remote::No, false, false, OwnIP},
    {"StandardNoNoDhcp", Proto::StandardIP, Remote::No, false, true, 0},
    {"StandardMoreNBXNoDhcp", Proto::StandardIP, Remote::No, true, false, OwnIP | NBXIP | NBXMac},
    {"StandardMoreNBXDhcp", Proto::StandardIP, Remote::No, true, true, NBXIP | NBXMac},
    {"OnTheFlyRemoteNoDhcp", Proto::IPOnTheFly, Remote::Yes, false, false, OwnIP | NBXIP | NBXMac},
    {"StandardRemoteNoDhcp", Proto::StandardIP, Remote::Yes, true, false, OwnIP | NBXIP | NBXMac},
    {"NoneRemoteNoDhcp", Proto::None, Remote::Yes, false, false, OwnIP | NBXIP | NBXMac},
    {"OnTheFlyRemoteDhcp", Proto::IPOnTheFly, Remote::Yes, true, true, NBXIP | NBXMac},
    {"StandardRemoteDhcp", Proto::StandardIP, Remote::Yes, false, true, NBXIP | NBXMac},
};

INSTANTIATE_TEST_SUITE_P(AnswerCombinations, Readiness, testing::ValuesIn(kReadinessRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Readiness, OneDigitCountsAsFilledAndNothingElseIsLookedAt)
{
    Answers a = Make(Proto::StandardIP, Remote::No, false, false);
    a.ip = {"1", "2", "3", "4"};
    a.country = "United Kingdom";
    a.rememberAudio = CheckState::Unchecked;
    EXPECT_TRUE(RequiredEntriesFilled(a));
}

struct SequenceRow {
    const char *name;
    Proto proto;
    Remote remote;
    bool dhcpServer;
    std::vector<std::string> protocolPart;
};

class Sequence : public testing::TestWithParam<SequenceRow> {};

const std::string kCardIP = "%CI10.0.0.5\ry", kSub = "%CS255.255.255.0\ry", kGw = "%CG10.0.0.1\ry";

TEST_P(Sequence, ProtocolPartSitsBetweenHeadAndTail)
{
    const auto &row = GetParam();
    for (const bool moreThanOneNbx : {false, true}) {
        Answers a = Make(row.proto, row.remote, moreThanOneNbx, row.dhcpServer);
        std::vector<std::string> expected {"%CB\r", row.remote == Remote::Yes ? "%CR1\r" : "%CR0\r"};
        expected.insert(expected.end(), row.protocolPart.begin(), row.protocolPart.end());
        if (moreThanOneNbx || row.remote == Remote::Yes) {
            expected.push_back("%CN10.0.0.9\ry");
            expected.push_back("%CM00:e0:bb:01:02:03\ry");
        }
        expected.insert(expected.end(), {"%CK1\r", "%CQ0\r", "%CE\r"});
        EXPECT_EQ(ConfigurationLines(a), expected) << "more than one NBX: " << moreThanOneNbx;
    }
}

const SequenceRow kSequenceRows[] = {
    {"StandardDhcp", Proto::StandardIP, Remote::No, true, {"%CP1\r"}},
    {"StandardRemoteDhcp", Proto::StandardIP, Remote::Yes, true, {"%CP1\r"}},
    {"StandardNoDhcp", Proto::StandardIP, Remote::No, false, {"%CP0\r", kCardIP, kSub, kGw}},
    {"StandardRemoteNoDhcp", Proto::StandardIP, Remote::Yes, false, {"%CP0\r", kCardIP, kSub, kGw}},
    {"OnTheFlyRemoteDhcp", Proto::IPOnTheFly, Remote::Yes, true, {"%CP1\r", "%CF1\r"}},
    {"OnTheFlyRemoteNoDhcp", Proto::IPOnTheFly, Remote::Yes, false, {"%CP0\r", kCardIP, kSub, kGw, "%CF1\r"}},
    {"OnTheFlyLocal", Proto::IPOnTheFly, Remote::No, false, {"%CF1\r"}},
    {"OnTheFlyLocalDhcp", Proto::IPOnTheFly, Remote::No, true, {"%CF1\r"}},
    {"Ethernet", Proto::Ethernet, Remote::No, false, {"%CP0\r", "%CF0\r"}},
    {"EthernetRemoteLeftOver", Proto::Ethernet, Remote::Yes, true, {"%CP0\r", "%CF0\r"}},
    {"NoProtocol", Proto::None, Remote::No, true, {"%CP0\r", "%CF0\r"}},
};

INSTANTIATE_TEST_SUITE_P(ProtocolParts, Sequence, testing::ValuesIn(kSequenceRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Sequence, TailCarriesCountryAndAudioChoices)
{
    Answers a = Make(Proto::Ethernet, Remote::No, false, false);
    a.country = "United Kingdom";
    a.rememberAudio = CheckState::Unchecked;
    a.boostAudio = CheckState::Checked;
    auto lines = ConfigurationLines(a);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string> {"%CV2\r", "%CK0\r", "%CQ1\r", "%CE\r"}));
    a.country = "united states"; // only the exact list entries count
    lines = ConfigurationLines(a);
    EXPECT_EQ(lines.size(), 7u);
    a.country = "United States";
    EXPECT_EQ(ConfigurationLines(a).at(4), "%CV1\r");
}

TEST(Sequence, EmptyFirstNBXBoxSendsZeroAddress)
{
    Answers a = Make(Proto::IPOnTheFly, Remote::No, true, false);
    a.nbxIp = {"", "1", "2", "3"};
    const auto lines = ConfigurationLines(a);
    EXPECT_EQ(lines.at(3), "%CN0.0.0.0\ry");
    EXPECT_EQ(lines.at(3).size(), 12u);
    EXPECT_FALSE(MalformedAddressMessage(a));
}

TEST(AddressCheck, DottedAddresses)
{
    for (const char *ok : {"0.0.0.0", "255.255.255.255", "10.0.0.5", "001.02.3.4"})
        EXPECT_TRUE(IsValidDottedAddress(ok)) << ok;
    for (const char *bad : {"256.0.0.1", "999.0.0.5", "1.2.3", "1.2.3.4.5", "10..0.1", "1234.0.0.1", "1.2.3.",
                            ".1.2.3", "", "a.b.c.d", "1.2.3.-4"})
        EXPECT_FALSE(IsValidDottedAddress(bad)) << bad;
}

TEST(AddressCheck, MacAddresses)
{
    for (const char *ok : {"00:e0:bb:01:02:03", "0:1:2:3:4:5", "ff:FF:aa:bb:cc:dd"})
        EXPECT_TRUE(IsValidMacAddress(ok)) << ok;
    for (const char *bad : {"00:e0:bb:01:02", "00:e0:bb:01:02:03:04", "00::bb:01:02:03", "000:e0:bb:01:02:03",
                            "0g:e0:bb:01:02:03", ""})
        EXPECT_FALSE(IsValidMacAddress(bad)) << bad;
}

TEST(AddressCheck, NamesTheFirstMalformedAddressThatWouldBeSent)
{
    Answers a = Make(Proto::StandardIP, Remote::No, true, false);
    a.gateway = {"10", "0", "0", "300"};
    a.mac[5] = "";
    EXPECT_EQ(MalformedAddressMessage(a), "Not a valid Default gateway: 10.0.0.300");
    // With DHCP the card's own addresses are not sent, so not checked.
    a.dhcpServer = true;
    EXPECT_EQ(MalformedAddressMessage(a), "Not a valid NBX MAC Address: 00:e0:bb:01:02:");
    a.moreThanOneNbx = false;
    EXPECT_FALSE(MalformedAddressMessage(a));
}

} // namespace
