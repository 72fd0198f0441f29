#include "cli_options.h"

#include "profile_keys.h"

#include <algorithm>
#include <array>

namespace cli {

namespace {

struct CommandInfo {
    Command command;
    std::string_view name, arguments, summary;
};

constexpr std::array kCommands = {
    CommandInfo {Command::Configure, "configure", "[--profile FILE [--card NAME]] [KEY OPTIONS]",
                 "send a configuration, from a profile's card and the key options"},
    CommandInfo {Command::Delete, "delete", "", "erase the card's configuration"},
    CommandInfo {Command::ShowConfig, "show-config", "", "print the configuration the card holds, as it answers"},
    CommandInfo {Command::Profile, "profile", "", "print a commented profile with every key and its allowed values"},
    CommandInfo {Command::Cards, "cards", "--profile FILE", "print the profile's card names, one per line"},
    CommandInfo {Command::Rollout, "rollout", "--profile FILE [--record FILE]",
                 "configure every card of the profile in turn, asking to connect each"},
};

const CommandInfo &Info(Command command)
{
    return *std::ranges::find(kCommands, command, &CommandInfo::command);
}

constexpr std::string_view kProgram = "tovrik-cli";

constexpr std::string_view kExitStatus =
    "Exit status:\n"
    "  0    every byte left for the card (or the text was printed); the card's answer\n"
    "       is not read back: the protocol is one-way\n"
    "  1    input refused, or nothing sent when asked\n"
    "  2    wrong usage\n"
    "  3    the port was not opened\n"
    "  4    a write failed or the line was lost; show-config: the card answered nothing;\n"
    "       rollout: a card was not sent\n"
    "  5    standard output could not be written\n"
    "  130, 143, 129  interrupted (SIGINT, SIGTERM, SIGHUP)\n";

std::string Spelled(const QCommandLineOption &option)
{
    std::string names;
    for (const QString &name : option.names())
        names += (names.empty() ? "" : ", ") + std::string(name.size() == 1 ? "-" : "--") + name.toStdString();
    if (!option.valueName().isEmpty())
        names += " " + option.valueName().toStdString();
    return names;
}

std::string OptionLines(const std::vector<const QCommandLineOption *> &options)
{
    std::size_t width = 0;
    for (const auto *option : options)
        width = std::max(width, Spelled(*option).size());
    std::string text;
    for (const auto *option : options) {
        const std::string names = Spelled(*option);
        text += "  " + names + std::string(width - names.size() + 2, ' ') + option->description().toStdString()
                + '\n';
    }
    return text;
}

std::string CommandHelp(const Options &options, const CommandInfo &info)
{
    std::string text = "Usage: " + std::string(kProgram) + " " + std::string(info.name) + " [OPTIONS]";
    if (!info.arguments.empty())
        text += " " + std::string(info.arguments);
    text += "\n" + std::string(1, static_cast<char>(std::toupper(info.summary.front()))) +
            std::string(info.summary.substr(1)) + ".\n";
    const auto taken = options.TakenBy(info.command);
    if (!taken.empty())
        text += "\nOptions:\n" + OptionLines(taken);
    return text;
}

} // namespace

Options::Options(QCommandLineParser &parser)
{
    parser.addOptions({com, device, profile, card, yes, dryRun, log, record, seconds, help, helpAll, version});
    for (const auto &key : profile::Keys()) {
        const std::string name(key.name);
        std::string spelled = name;
        std::ranges::replace(spelled, '_', '-');
        std::string allowed;
        for (const auto value : key.allowed)
            allowed += (allowed.empty() ? " (" : " | ") + std::string(value);
        allowed += allowed.empty() ? "" : ")";
        keys.emplace_back(name, QCommandLineOption(QString::fromStdString(spelled),
                                                   QString::fromStdString("The profile's " + name + allowed
                                                                          + ", over the file's."),
                                                   "VALUE"));
        parser.addOption(keys.back().second);
    }
}

std::vector<const QCommandLineOption *> Options::TakenBy(Command command) const
{
    switch (command) {
    case Command::Configure: {
        std::vector<const QCommandLineOption *> taken {&com, &device, &profile, &card};
        for (const auto &[key, option] : keys)
            taken.push_back(&option);
        taken.insert(taken.end(), {&yes, &dryRun, &log, &record});
        return taken;
    }
    case Command::Delete:
        return {&com, &device, &yes, &log, &record};
    case Command::ShowConfig:
        return {&com, &device, &seconds, &log};
    case Command::Profile:
        return {};
    case Command::Cards:
        return {&profile};
    case Command::Rollout:
        return {&profile, &record, &com, &device, &log};
    }
    return {};
}

std::optional<Command> FindCommand(std::string_view name)
{
    const auto it = std::ranges::find(kCommands, name, &CommandInfo::name);
    if (it == kCommands.end())
        return std::nullopt;
    return it->command;
}

std::string_view CommandName(Command command) { return Info(command).name; }

std::string HelpText(const Options &options, std::optional<Command> command, bool all)
{
    if (command && !all)
        return CommandHelp(options, Info(*command));
    std::string text = "Usage: " + std::string(kProgram) + " COMMAND [OPTIONS]\n"
                       "Configures Brenlock cards from a script or a site profile, as the tovrik window would.\n"
                       "\nCommands:\n";
    for (const auto &info : kCommands)
        text += "  " + std::string(info.name) + std::string(13 - info.name.size(), ' ') + std::string(info.summary)
                + '\n';
    text += "\nOptions of their own:\n" + OptionLines({&options.help, &options.helpAll, &options.version});
    if (all) {
        for (const auto &info : kCommands)
            text += "\n" + CommandHelp(options, info);
    } else {
        text += "\n" + std::string(kProgram) + " COMMAND --help lists what a command takes.\n";
    }
    return text + "\n" + std::string(kExitStatus);
}

std::optional<std::string> StrayOption(const QCommandLineParser &parser, const Options &options, Command command)
{
    const auto taken = options.TakenBy(command);
    for (const QString &name : parser.optionNames()) {
        const bool known = std::ranges::any_of(taken, [&](const auto *option) { return option->names().contains(name); });
        if (!known && !options.help.names().contains(name) && !options.helpAll.names().contains(name)
            && !options.version.names().contains(name))
            return (name.size() == 1 ? "-" : "--") + name.toStdString();
    }
    return std::nullopt;
}

std::optional<std::string> GivenTwice(const QCommandLineParser &parser)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given)
        if (given.count(name) > 1)
            return "--" + name.toStdString();
    return std::nullopt;
}

std::string UsageError(const QCommandLineParser &parser, const Options &options)
{
    std::string text = parser.errorText().toStdString();
    for (const auto &[key, option] : options.keys) {
        const std::string hyphenated = option.names().front().toStdString();
        if (key != hyphenated && text.find("'" + key + "'") != std::string::npos)
            return "--" + key + " is spelled --" + hyphenated + " (the profile's key stays " + key + ")";
    }
    return text + " See " + std::string(kProgram) + " --help.";
}

} // namespace cli
