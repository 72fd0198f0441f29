// tovrik-cli's commands and options: which command takes which option, the
// help of each, and the usage mistakes found before anything is read or sent.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum class Command { Configure, Delete, ShowConfig, Profile, Cards, Rollout };

struct Options {
    QCommandLineOption com {"com", "The COM port, 1 to 8 (default 1).", "N", "1"};
    QCommandLineOption device {"device", "Any serial device instead of a COM port, checked as a mapping is.",
                               "PATH"};
    QCommandLineOption profile {"profile", "The site profile.", "FILE"};
    QCommandLineOption card {"card", "The [card NAME] section of the profile over its [defaults].", "NAME"};
    QCommandLineOption yes {"yes", "Send without asking; needed when standard input is not a terminal."};
    QCommandLineOption dryRun {"dry-run", "Print the command lines instead of sending them."};
    QCommandLineOption log {"log", "Append what the card says to FILE.", "FILE"};
    QCommandLineOption record {"record", "Append one JSON line per attempt to FILE.", "FILE"};
    QCommandLineOption seconds {"seconds", "Listen for S seconds (default 3).", "S", "3"};
    QCommandLineOption help {{"h", "help"}, "This help; after a command, that command's options."};
    QCommandLineOption helpAll {"help-all", "Every command's options."};
    QCommandLineOption version {{"v", "version"}, "The version."};
    // Each profile key as an option, spelled with hyphens: nbx_ip is --nbx-ip.
    std::vector<std::pair<std::string, QCommandLineOption>> keys;

    explicit Options(QCommandLineParser &parser);
    // The options `command` takes, in the order its help lists them.
    [[nodiscard]] std::vector<const QCommandLineOption *> TakenBy(Command command) const;
};

[[nodiscard]] std::optional<Command> FindCommand(std::string_view name);
[[nodiscard]] std::string_view CommandName(Command command);

// The help for every command (`command` none), for one, or with `all` every
// command's options. It names the program, never its path.
[[nodiscard]] std::string HelpText(const Options &options, std::optional<Command> command, bool all = false);

// The first option given that `command` does not take, as "--name".
[[nodiscard]] std::optional<std::string> StrayOption(const QCommandLineParser &parser, const Options &options,
                                                     Command command);

// An option given twice, whose last value would win without a word.
[[nodiscard]] std::optional<std::string> GivenTwice(const QCommandLineParser &parser);

// The parser's complaint, with the hyphenated spelling when an option was
// written with underscores as the profile writes its keys.
[[nodiscard]] std::string UsageError(const QCommandLineParser &parser, const Options &options);

} // namespace cli
