// Site profiles: what is refused and where, and what an accepted one fills
// in, box by box, as typing would.
#include "profile_answers.h"
#include "profile_keys.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace profile;

namespace {

std::string Joined(const auto &items, const char *separator)
{
    std::string out;
    bool first = true;
    for (const auto &item : items) {
        out += (first ? "" : separator) + std::string(item);
        first = false;
    }
    return out;
}

struct Refusal {
    const char *name;
    const char *text;
    const char *card;
    const char *message;
};

void PrintTo(const Refusal &row, std::ostream *os) { *os << row.name; }

class ProfileRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(ProfileRefusal, NamesFileLineAndKey)
{
    std::istringstream in(GetParam().text);
    const auto reading = ReadProfile(in, "site.ini", GetParam().card);
    EXPECT_EQ(Joined(reading.refusals, "\n"), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileRefusal,
    testing::Values(
        Refusal {"UnknownKey", "[defaults]\nprotocol = standard\nnetmask = 255.0.0.0\n", "",
                 "site.ini:3: netmask: unknown key"},
        Refusal {"UnknownSection", "[default]\nip = 10.0.0.5\n", "",
                 "site.ini:1: unknown section [default]; the sections are [defaults] and [card NAME]"},
        Refusal {"ValueOutOfItsSet", "[defaults]\nprotocol = Ethernet\n", "",
                 "site.ini:2: protocol: 'Ethernet' is not one of ethernet, onthefly, standard"},
        Refusal {"CountryNotInTheList", "[card a]\ncountry = France\n", "a",
                 "site.ini:2: country: 'France' is not one of United States, United Kingdom"},
        Refusal {"DuplicateKey", "[card a]\ndhcp = yes\n\ndhcp = no\n", "",
                 "site.ini:4: dhcp: duplicate key, first set on line 2"},
        Refusal {"InACardNotChosen", "[card a]\ndhcp = maybe\n", "",
                 "site.ini:2: dhcp: 'maybe' is not one of yes, no"},
        Refusal {"OutsideASection", "ip = 10.0.0.5\n", "", "site.ini:1: ip: outside [defaults] and [card NAME]"},
        Refusal {"NoEqualsSign", "[defaults]\nip 10.0.0.5\n", "", "site.ini:2: ip 10.0.0.5: not a line 'key = value'"},
        Refusal {"NotAnAddress", "[defaults]\nip = abc\n", "",
                 "site.ini:2: ip: 'abc' does not fit the IP Address row: four numbers of up to three digits, with dots"},
        Refusal {"MoreThanTheRowHolds", "[defaults]\nip = 1.2.3.4567\nnbx_mac = 1:2:3:4:5:6:7\n", "",
                 "site.ini:2: ip: '1.2.3.4567' does not fit the IP Address row: four numbers of up to three digits, "
                 "with dots\nsite.ini:3: nbx_mac: '1:2:3:4:5:6:7' does not fit the NBX MAC Address row: six "
                 "hexadecimal pairs, with or without colons"},
        Refusal {"EmptyLastPart", "[defaults]\nip = 10.0.0.\nnbx_mac = 1:2:3:4:5:\n", "",
                 "site.ini:2: ip: '10.0.0.' does not fit the IP Address row: four numbers of up to three digits, "
                 "with dots\nsite.ini:3: nbx_mac: '1:2:3:4:5:' does not fit the NBX MAC Address row: six "
                 "hexadecimal pairs, with or without colons"},
        Refusal {"CardNotInTheFile", "[card a]\n", "b", "site.ini: no section [card b]"},
        Refusal {"ByteOrderMarkIsSkipped", "\xEF\xBB\xBF[defaults]\nip = 10.0.0.5\n", "", ""},
        Refusal {"RefusedLineShownShort",
                 "[defaults]\n0123456789012345678901234567890123456789012345678901234567890123456789012345678901234\n",
                 "",
                 "site.ini:2: 01234567890123456789012345678901234567890123456789012345678901234567890123456...: not "
                 "a line 'key = value'"}),
    [](const auto &info) { return std::string(info.param.name); });

// Only a regular file or a pipe is read, and only so far: a folder is no
// empty profile, and /dev/zero or an endless pipe no endless one.
TEST(ProfileFile, IsRefusedWhenItIsNoProfile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("profile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "huge.ini") << std::string(1024 * 1024 + 1, '#');
    std::ofstream(dir / "long.ini") << "[defaults]\n" << std::string(5000, 'x') << "\n";
    // As the shell's <(command) hands one over.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const std::string block(64 * 1024, '\0');
        while (::write(pipe[1], block.data(), block.size()) > 0) {
        }
        ::close(pipe[1]);
    });
    const std::pair<std::string, std::string> rows[] = {
        {dir.string(), "is a folder, not a profile"},
        {"/dev/zero", "is a device or another special file, not a profile"},
        {(dir / "huge.ini").string(), "is larger than 1 MiB"},
        {"/dev/fd/" + std::to_string(pipe[0]), "holds more than 1 MiB"},
        {(dir / "long.ini").string(), ":2: a line of 5000 characters"},
    };
    for (const auto &[path, refusal] : rows) {
        const auto reading = ReadProfileFile(path, "");
        EXPECT_NE(Joined(reading.refusals, "\n").find(refusal), std::string::npos)
            << path << ": " << Joined(reading.refusals, "\n");
    }
    ::close(pipe[0]); // the writer's next write fails
    writer.join();
    std::filesystem::remove_all(dir);
}

struct Accepted {
    const char *name;
    const char *text;
    const char *card;
    std::vector<std::pair<std::string, std::string>> overrides;
    const char *ipBoxes;  // the IP Address row, box by box
    const char *macBoxes; // the NBX MAC Address row
    const char *unused;
    const char *missing;
};

void PrintTo(const Accepted &row, std::ostream *os) { *os << row.name; }

class ProfileAccepted : public testing::TestWithParam<Accepted> {};

TEST_P(ProfileAccepted, FillsTheAnswersAsTyping)
{
    const auto &row = GetParam();
    std::istringstream in(row.text);
    auto reading = ReadProfile(in, "site.ini", row.card);
    ASSERT_EQ(Joined(reading.refusals, "\n"), "");
    for (const auto &[key, value] : row.overrides)
        ASSERT_EQ(Override(reading.settings, key, value), std::nullopt);

    const auto filled = FillAnswers(reading.settings);
    EXPECT_EQ(Joined(filled.answers.ip, "|"), row.ipBoxes);
    EXPECT_EQ(Joined(filled.answers.mac, "|"), row.macBoxes);
    EXPECT_EQ(Joined(filled.unused, "\n"), row.unused);
    EXPECT_EQ(Joined(MissingEntries(filled.answers), ", "), row.missing);
}

constexpr const char *kSite = "# the site\n[defaults]\nprotocol = standard\nsubnet = 255.255.255.0\n"
                              "gateway = 10.0.0.1\n\n[card front]\nip = 10.0.0.5\n[card back]\nip = 10.0.0.6\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileAccepted,
    testing::Values(
        Accepted {"CardSectionOverDefaults", kSite, "back", {}, "10|0|0|6", "|||||", "", ""},
        Accepted {"CardSectionWrittenFirstStillWins",
                  "[card back]\nip = 10.0.0.6\n[defaults]\nprotocol = standard\nip = 10.0.0.9\n", "back", {},
                  "10|0|0|6", "|||||", "", "subnet (Subnet), gateway (Gateway)"},
        Accepted {"CommandLineOverProfile", kSite, "front", {{"ip", "192.168.1.20"}}, "192|168|1|20", "|||||", "",
                  ""},
        Accepted {"DefaultsAloneLackTheAddress", kSite, "", {}, "|||", "|||||", "", "ip (IP Address)"},
        Accepted {"SubnetUnderEthernet", kSite, "front", {{"protocol", "ethernet"}}, "|||", "|||||",
                  "not used: ip (Ethernet)\nnot used: subnet (Ethernet)\nnot used: gateway (Ethernet)", ""},
        Accepted {"CapitalMacGoesLowerCase",
                  "[defaults]\nprotocol = ethernet\nseveral_nbx = yes\nnbx_ip = 10.0.1.2\nnbx_mac = 00:A0:24:1B:2C:3D\n",
                  "", {}, "|||", "00|a0|24|1b|2c|3d", "not used: nbx_ip (Ethernet)", ""},
        Accepted {"MacWithoutSeparators", "[defaults]\nprotocol = ethernet\nseveral_nbx = yes\nnbx_mac = 00A0241B2C3D\n",
                  "", {}, "|||", "00|a0|24|1b|2c|3d", "", ""},
        Accepted {"FullBoxMovesOn", "[defaults]\nprotocol = standard\nip = 100200.3.4\n", "", {},
                  "100|200|3|4", "|||||", "", "subnet (Subnet), gateway (Gateway)"},
        Accepted {"RemoteOpensTheDhcpQuestionOnTheFly",
                  "[defaults]\nprotocol = onthefly\ndhcp = yes\nremote_nbx = yes\nip = 10.0.0.5\n"
                  "nbx_ip = 10.0.1.2\n",
                  "", {}, "|||", "|||||", "not used: ip (IP On the Fly, dhcp = yes)", "nbx_mac (NBX MAC Address)"},
        Accepted {"DhcpClosedOnTheFlyWithoutRemote", "[defaults]\nprotocol = onthefly\ndhcp = yes\n", "", {}, "|||",
                  "|||||", "not used: dhcp (IP On the Fly, remote_nbx = no)", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProfileOverride, RefusesWhatTheFileWould)
{
    Settings settings;
    EXPECT_EQ(Override(settings, "dhcp", "true"), "--dhcp: 'true' is not one of yes, no");
    EXPECT_TRUE(settings.empty());
}

TEST(ProfileTemplate, IsAcceptedOnceUncommented)
{
    // A key or section put back is a line whose '#' is followed by a letter or '['.
    std::istringstream lines(ProfileTemplate());
    std::string uncommented;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 1 && line[0] == '#' && (std::islower(static_cast<unsigned char>(line[1])) || line[1] == '['))
            line.erase(0, 1);
        uncommented += line + '\n';
    }
    std::istringstream in(uncommented);
    const auto reading = ReadProfile(in, "template.ini", "front-desk");
    EXPECT_EQ(Joined(reading.refusals, "\n"), "");
    EXPECT_EQ(reading.settings.size(), Keys().size());
}

} // namespace
