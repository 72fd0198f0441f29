// tovrik-cli's commands, once the command line has been checked.
#pragma once

#include "attempt_record.h"
#include "card_send.h"
#include "cli_options.h"
#include "profile_reader.h"

namespace cli {

struct Invocation {
    const QCommandLineParser &parser;
    const Options &options;
    Command command;
    Target target;

    [[nodiscard]] bool Has(const QCommandLineOption &option) const { return parser.isSet(option); }
    [[nodiscard]] std::string Value(const QCommandLineOption &option) const
    {
        return parser.value(option).toStdString();
    }
};

int Configure(const Invocation &call);
int Delete(const Invocation &call);
int ShowConfig(const Invocation &call);
int PrintTemplate();
int PrintCards(const Invocation &call);
int RollOut(const Invocation &call);

// The lines that configure a card with `settings`, or nothing with `why`
// set; each setting that meets a closed row goes to `notes`.
[[nodiscard]] std::optional<std::vector<std::string>> LinesForSettings(const profile::Settings &settings,
                                                                       std::vector<std::string> &notes,
                                                                       std::string &why);

// The record named by --record, opened; nothing without one. False, after
// the reason on standard error, when it cannot be kept.
struct RecordOpening {
    bool ok = true;
    std::optional<AttemptRecord> record;
};
[[nodiscard]] RecordOpening OpenRecord(const Invocation &call);

} // namespace cli
