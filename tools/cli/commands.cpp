#include "commands.h"

#include "command_lines.h"
#include "command_support.h"
#include "configuration.h"
#include "interruption.h"
#include "library_loader.h"
#include "output.h"
#include "printable.h"
#include "profile_answers.h"
#include "profile_keys.h"
#include "profile_reader.h"
#include "serial_library.h"

#include <iostream>

namespace cli {

namespace {

std::string WithCarriageReturnsShown(const std::string &line)
{
    std::string out;
    for (const char c : line)
        out += c == '\r' ? std::string("\\r") : std::string(1, c);
    return out;
}

// The settings from the profile and the command line; refusals on stderr.
std::optional<profile::Settings> ReadSettings(const Invocation &call, std::string &refused)
{
    profile::Reading reading;
    if (call.Has(call.options.profile)) {
        const auto card = profile::CardName(call.Value(call.options.card));
        reading = profile::ReadProfileFile(call.Value(call.options.profile), card.value_or(""));
    }
    for (const auto &[key, option] : call.options.keys) {
        if (!call.Has(option))
            continue;
        if (auto refusal = profile::Override(reading.settings, key, call.Value(option)))
            reading.refusals.push_back(std::move(*refusal));
    }
    for (const auto &refusal : reading.refusals) {
        Refuse(kRefused, refusal);
        refused += (refused.empty() ? "" : "; ") + refusal;
    }
    if (!reading.refusals.empty())
        return std::nullopt;
    return reading.settings;
}

// The lines for `settings`, or why they cannot be sent. "not used" notes
// go to `notes`.
} // namespace

std::optional<std::vector<std::string>> LinesForSettings(const profile::Settings &settings,
                                                         std::vector<std::string> &notes, std::string &why)
{
    // Without one, every answer would fall back to the window's first
    // protocol, and a folder or an empty file would configure a card.
    if (!settings.contains("protocol")) {
        why = "protocol is not set: give it in the profile or as --protocol ethernet, onthefly or standard; "
              "nothing sent";
        return std::nullopt;
    }
    const auto filled = profile::FillAnswers(settings);
    notes = filled.unused;
    if (const auto missing = profile::MissingEntries(filled.answers); !missing.empty()) {
        why = "not ready to configure, missing: ";
        for (std::size_t i = 0; i < missing.size(); ++i)
            why += (i == 0 ? "" : ", ") + missing[i];
        return std::nullopt;
    }
    if (const auto problem = MalformedAddressMessage(filled.answers)) {
        why = *problem;
        return std::nullopt;
    }
    return ConfigurationLines(filled.answers);
}

namespace {

// Records an attempt refused before anything was sent, whose reason has been said.
int Recorded(AttemptRecord *record, const AttemptOf &what, const std::string &why)
{
    (void)Record(record, AttemptFor(what, NotSent(kRefused, Result::Refused, why), kRefused));
    return kRefused;
}

} // namespace

RecordOpening OpenRecord(const Invocation &call)
{
    if (!call.Has(call.options.record))
        return {};
    std::string why;
    auto record = AttemptRecord::Open(call.Value(call.options.record), why);
    if (!record) {
        Refuse(kRefused, "cannot keep the record " + call.Value(call.options.record) + ": " + why + "; nothing sent");
        return {false, std::nullopt};
    }
    return {true, std::move(record)};
}

int Configure(const Invocation &call)
{
    const auto &options = call.options;
    if (call.Has(options.card) && !call.Has(options.profile))
        return Refuse(kBadUsage, "--card goes only with --profile");
    const auto card = profile::CardName(call.Value(options.card));
    // Blank would quietly mean [defaults] alone.
    if (call.Has(options.card) && !card)
        return Refuse(kBadUsage, "--card needs the NAME of a [card NAME] section");
    if (call.Has(options.record) && call.Has(options.dryRun))
        return Refuse(kBadUsage, "--record does not go with --dry-run, which sends nothing");
    auto opening = OpenRecord(call);
    if (!opening.ok)
        return kRefused;
    AttemptRecord *record = opening.record ? &*opening.record : nullptr;

    AttemptOf what {call.target, card.value_or(""), {}, {}};
    std::string why;
    const auto settings = ReadSettings(call, why);
    if (!settings)
        return Recorded(record, what, why);
    if (const auto protocol = settings->find("protocol"); protocol != settings->end())
        what.protocol = protocol->second.value;
    std::vector<std::string> notes;
    const auto lines = LinesForSettings(*settings, notes, why);
    for (const auto &note : notes)
        Refuse(kSent, note);
    if (!lines) {
        Refuse(kRefused, why);
        return Recorded(record, what, why);
    }
    what.lines = *lines;

    if (call.Has(options.dryRun)) {
        std::string text;
        for (const auto &line : *lines)
            text += WithCarriageReturnsShown(line) + '\n';
        return Print(text) ? kSent : Refuse(kOutputFailed, "cannot write the lines: " + OutputError());
    }
    const std::string whose = card ? "card " + *card + "'s configuration" : "the configuration";
    if (const auto declined = Confirm("Send " + whose + " to " + Described(call.target) + "?", call.Has(options.yes)))
        return *declined;
    return SendRecordReport(what, LogOnly(call.Value(options.log)), record);
}

int Delete(const Invocation &call)
{
    auto opening = OpenRecord(call);
    if (!opening.ok)
        return kRefused;
    if (const auto declined = Confirm("Erase the configuration of the card on " + Described(call.target) + "?",
                                      call.Has(call.options.yes)))
        return *declined;
    const AttemptOf what {call.target, {}, {}, {gateway::ClearConfigLine()}};
    return SendRecordReport(what, LogOnly(call.Value(call.options.log)),
                            opening.record ? &*opening.record : nullptr);
}

int PrintTemplate()
{
    return Print(profile::ProfileTemplate()) ? kSent
                                             : Refuse(kOutputFailed, "cannot write the profile: " + OutputError());
}

int PrintCards(const Invocation &call)
{
    if (!call.Has(call.options.profile))
        return Refuse(kBadUsage, "cards needs --profile FILE");
    const auto site = profile::ReadSiteFile(call.Value(call.options.profile));
    for (const auto &refusal : site.refusals)
        Refuse(kRefused, refusal);
    if (!site.refusals.empty())
        return kRefused;
    std::string text;
    for (const auto &[name, settings] : site.cards)
        text += devices::Printable(name) + '\n';
    return Print(text) ? kSent : Refuse(kOutputFailed, "cannot write the card names: " + OutputError());
}

} // namespace cli

namespace cli {

namespace {

// The card's answer line by line as it arrives, without its carriage
// returns; what the device sends is escaped, so it cannot steer a terminal.
class AnswerPrinter {
public:
    void Byte(char c)
    {
        ++bytes_;
        if (c == '\r')
            return;
        if (c != '\n') {
            line_ += c;
            return;
        }
        (void)Print(devices::Printable(line_) + '\n');
        line_.clear();
    }
    void Finish()
    {
        if (!line_.empty())
            (void)Print(devices::Printable(line_) + '\n');
    }
    [[nodiscard]] bool HeardAnything() const { return bytes_ > 0; }

private:
    std::string line_;
    std::size_t bytes_ = 0;
};

} // namespace

int ShowConfig(const Invocation &call)
{
    bool numeric = false;
    const double seconds = call.parser.value(call.options.seconds).toDouble(&numeric);
    if (!numeric || !(seconds > 0 && seconds <= 3600))
        return Refuse(kBadUsage, "--seconds takes a number of seconds above 0, up to 3600");
    const auto loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        return Refuse(kPortNotOpened, loaded.error);

    AnswerPrinter printer;
    const Listening listening {call.Value(call.options.log),
                               std::chrono::milliseconds(static_cast<long long>(seconds * 1000)),
                               {},
                               [&printer](char c) { printer.Byte(c); }};
    const auto outcome = SendToCard(*loaded.library, {call.target, {gateway::LogConfigLine()}, listening, {},
                                                      Interruption});
    printer.Finish();
    if (outcome.signal != 0)
        EndBy(outcome.signal);
    if (outcome.result != Result::Sent)
        return Refuse(outcome.status, outcome.message);
    if (!OutputError().empty())
        return Refuse(kOutputFailed, "cannot write the card's answer: " + OutputError());
    if (!printer.HeardAnything())
        return Refuse(kSendFailed, "the card on " + call.target.Name() + " answered nothing within "
                                       + call.Value(call.options.seconds) + " s");
    return kSent;
}

} // namespace cli
