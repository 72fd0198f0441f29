// tovrik-cli rollout: the site's cards one after the other, the technician
// answering on the terminal.
#include "command_support.h"
#include "commands.h"
#include "interruption.h"
#include "library_loader.h"
#include "output.h"
#include "printable.h"
#include "profile_reader.h"
#include "rollout.h"
#include "serial_library.h"

#include <iostream>
#include <unistd.h>

namespace cli {

namespace {

class TerminalTechnician : public Technician {
public:
    explicit TerminalTechnician(std::string where) : where_(std::move(where)) {}

    Choice Connect(const SiteCard &card) override
    {
        return Ask("Connect card " + card.name + " to " + where_ + " and press Enter (s: skip, q: stop) ", "");
    }
    Choice AfterFailure(const SiteCard &) override { return Ask("r: retry, s: skip, q: stop ", "r"); }
    void Say(const std::string &line) override { std::cerr << "tovrik-cli: " << devices::Printable(line) << '\n'; }

private:
    // Asks until the answer is one of Enter (or `go`), s and q; the end of
    // the input or an interruption stops.
    static Choice Ask(const std::string &question, const std::string &go)
    {
        for (;;) {
            std::cerr << devices::Printable(question) << std::flush;
            const auto answer = ReadAnswer();
            if (!answer) {
                std::cerr << '\n';
                return Choice::Stop;
            }
            if (answer->empty() || *answer == go)
                return Choice::Go;
            if (*answer == "s")
                return Choice::Skip;
            if (*answer == "q")
                return Choice::Stop;
        }
    }

    std::string where_;
};

// Every card's lines, or nothing once every problem of the profile has been said:
// a site is checked whole before the first card is connected.
std::optional<std::vector<SiteCard>> SiteCards(const std::string &path)
{
    const auto site = profile::ReadSiteFile(path);
    for (const auto &refusal : site.refusals)
        Refuse(kRefused, refusal);
    if (!site.refusals.empty())
        return std::nullopt;
    if (site.cards.empty()) {
        Refuse(kRefused, path + " has no [card NAME] section; nothing to roll out");
        return std::nullopt;
    }
    std::vector<SiteCard> cards;
    bool ready = true;
    for (const auto &[name, settings] : site.cards) {
        std::vector<std::string> notes;
        std::string why;
        const auto lines = LinesForSettings(settings, notes, why);
        for (const auto &note : notes)
            Refuse(kSent, "card " + name + ": " + note);
        if (!lines) {
            Refuse(kRefused, "card " + name + ": " + why);
            ready = false;
            continue;
        }
        const auto protocol = settings.find("protocol");
        cards.push_back({name, protocol == settings.end() ? "" : protocol->second.value, *lines});
    }
    if (!ready)
        return std::nullopt;
    return cards;
}

} // namespace

int RollOut(const Invocation &call)
{
    if (!call.Has(call.options.profile))
        return Refuse(kBadUsage, "rollout needs --profile FILE");
    if (!isatty(STDIN_FILENO))
        return Refuse(kBadUsage, "rollout asks the technician on the terminal, and standard input is not one");
    const auto cards = SiteCards(call.Value(call.options.profile));
    if (!cards)
        return kRefused;
    const auto loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        return Refuse(kPortNotOpened, loaded.error);
    auto opening = OpenRecord(call);
    if (!opening.ok)
        return kRefused;
    if (opening.record && opening.record->LinesPassedOver() > 0)
        Refuse(kSent, "the record " + opening.record->Path() + " holds " +
                          std::to_string(opening.record->LinesPassedOver()) + " line(s) that are no attempt; passed over");

    TerminalTechnician technician(Described(call.target));
    const auto attempt = [&](const SiteCard &card) {
        return AttemptOf {call.target, card.name, card.protocol, card.lines};
    };
    RolloutSteps steps;
    steps.send = [&](const SiteCard &card) {
        auto outcome = SendLines(*loaded.library, attempt(card), LogOnly(call.Value(call.options.log)));
        if (outcome.result == Result::Sent)
            (void)Print("card " + devices::Printable(card.name) + ": sent " + std::to_string(outcome.bytes) +
                        " bytes to " + devices::Printable(call.target.Name()) + "\n");
        return outcome;
    };
    steps.record = [&](const SiteCard &card, const SendOutcome &outcome, std::string &why) {
        const int status = outcome.signal != 0 ? StatusOf(outcome.signal) : outcome.status;
        return !opening.record || opening.record->Add(AttemptFor(attempt(card), outcome, status), why);
    };
    steps.interruption = Interruption;
    const Tally tally = Rollout(*cards, opening.record ? opening.record->LastResults() : std::map<std::string, std::string> {},
                                technician, steps);
    if (!tally.recordError.empty())
        Refuse(kOutputFailed, "the record " + opening.record->Path() + " could not be written (" + tally.recordError +
                                  "); stopped so that no attempt goes unrecorded");
    (void)Print(Summary(tally) + "\n");
    if (tally.signal != 0)
        EndBy(tally.signal);
    return ExitStatusOf(tally);
}

} // namespace cli
