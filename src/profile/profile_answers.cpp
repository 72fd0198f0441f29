#include "profile_answers.h"

#include "configuration_form.h"
#include "profile_keys.h"
#include "readiness.h"

#include <algorithm>
#include <utility>

namespace profile {

namespace {

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

std::vector<std::string> EnterSettings(const Settings &settings, ConfigurationForm &form)
{
    std::vector<std::string> unused;
    const auto given = [&](std::string_view key) -> const std::string * {
        const auto it = settings.find(key);
        return it == settings.end() ? nullptr : &it->second.value;
    };
    const auto notUsed = [&](std::string_view key) {
        unused.push_back("not used: " + std::string(key) + " (" + ClosedBecause(key, form.Current()) + ")");
    };

    if (const auto *value = given("protocol"))
        form.ChooseProtocol(ProtocolFromValue(*value));
    // The remote question first: under IP On the Fly it opens the DHCP question.
    static constexpr std::pair<std::string_view, Question> kQuestions[] = {
        {"remote_nbx", Question::RemoteNbx}, {"dhcp", Question::Dhcp}, {"several_nbx", Question::SeveralNbx}};
    for (const auto &[key, question] : kQuestions) {
        if (const auto *value = given(key)) {
            if (form.IsOpen(question))
                form.Answer(question, *value == "yes");
            else
                notUsed(key);
        }
    }
    for (const auto &key : Keys()) {
        if (!key.row)
            continue;
        if (const auto *value = given(key.name)) {
            if (form.IsOpen(*key.row)) {
                form.FocusOn(BoxId {*key.row, 0});
                form.Type(*value);
            } else {
                notUsed(key.name);
            }
        }
    }
    if (const auto *value = given("country"))
        form.SetCountry(*value);
    static constexpr std::pair<std::string_view, AudioCheck> kChecks[] = {
        {"remember_audio", AudioCheck::RememberAudio}, {"boost_audio", AudioCheck::BoostAudio}};
    for (const auto &[key, check] : kChecks)
        if (const auto *value = given(key))
            form.SetCheck(check, *value == "yes");
    return unused;
}

FilledAnswers FillAnswers(const Settings &settings)
{
    ConfigurationForm form;
    FilledAnswers filled;
    filled.unused = EnterSettings(settings, form);
    filled.answers = form.Current();
    return filled;
}

std::vector<std::string> MissingEntries(const Answers &a)
{
    std::vector<std::string> missing;
    for (const Row row : MissingRows(a)) {
        const auto &keys = Keys();
        const auto key = std::find_if(keys.begin(), keys.end(), [row](const ProfileKey &k) { return k.row == row; });
        missing.push_back(std::string(key->name) + " (" + std::string(key->rowName) + ")");
    }
    return missing;
}

} // namespace profile
