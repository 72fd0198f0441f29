// tovrik-cli: configures or erases a card from a script or a site profile,
// with the window's rules, lines and sender.
#include "card_send.h"
#include "command_lines.h"
#include "configuration.h"
#include "library_loader.h"
#include "printable.h"
#include "profile_answers.h"
#include "profile_keys.h"
#include "profile_reader.h"
#include "serial_library.h"
#include "tovrik_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

namespace {

using cli::kBadUsage;
using cli::kRefused;

// File names and values come from the user and may hold control bytes.
int Refuse(int status, const std::string &message)
{
    std::cerr << "tovrik-cli: " << devices::Printable(message) << '\n';
    return status;
}

std::string WithCarriageReturnsShown(const std::string &line)
{
    std::string out;
    for (const char c : line)
        out += c == '\r' ? std::string("\\r") : std::string(1, c);
    return out;
}

struct Options {
    QCommandLineOption com {"com", "The COM port, 1 to 8 (default 1).", "N", "1"};
    QCommandLineOption profile {"profile", "configure: read the settings from FILE.", "FILE"};
    QCommandLineOption card {"card", "configure: the [card NAME] section of the profile.", "NAME"};
    QCommandLineOption yes {"yes", "Send without asking; needed when standard input is not a terminal."};
    QCommandLineOption dryRun {"dry-run", "configure: print the command lines instead of sending them."};
    QCommandLineOption log {"log", "Append what the card says to FILE.", "FILE"};
    QCommandLineOption seconds {"seconds", "show-config: listen for S seconds (default 3).", "S", "3"};
    std::vector<std::pair<std::string, QCommandLineOption>> keys;

    explicit Options(QCommandLineParser &parser)
    {
        parser.addOptions({com, profile, card, yes, dryRun, log, seconds});
        for (const auto &key : profile::Keys()) {
            const QString name = QString::fromUtf8(key.name.data(), static_cast<qsizetype>(key.name.size()));
            keys.emplace_back(std::string(key.name), QCommandLineOption(name, "configure: the profile's " + name
                                                                                      + " over the file's.", "VALUE"));
            parser.addOption(keys.back().second);
        }
    }
};

// Nothing when the user agreed; else the exit status.
std::optional<int> Confirm(const std::string &question, bool yes)
{
    if (yes)
        return std::nullopt;
    if (!isatty(STDIN_FILENO))
        return Refuse(kBadUsage, "standard input is not a terminal: give --yes to send");
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer == "y" || answer == "Y" || answer == "yes")
        return std::nullopt;
    return Refuse(kRefused, "nothing sent");
}

// With a log, the card's answer to the last line is waited for: it comes
// once the card has taken the line in, and lands in the log.
cli::Listening LogOnly(const std::string &logFile)
{
    using namespace std::chrono_literals;
    return {logFile, logFile.empty() ? 0ms : 3000ms, 500ms, {}};
}

int Send(std::int16_t port, const std::vector<std::string> &lines, const cli::Listening &listening)
{
    const auto loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        return Refuse(cli::kPortNotOpened, loaded.error);
    std::size_t bytes = 0;
    for (const auto &line : lines)
        bytes += line.size();
    const std::string com = "COM" + std::to_string(port);
    const bool showProgress = isatty(STDERR_FILENO);
    const auto outcome = cli::SendToCard(
        *loaded.library, port, lines,
        [&](bool done) {
            if (showProgress)
                std::cerr << (done ? " done\n" : "Sending " + std::to_string(bytes) + " bytes to " + com + " …")
                          << std::flush;
        },
        listening);
    if (outcome.status != cli::kSent)
        return Refuse(outcome.status, outcome.message);
    std::cout << "sent " << bytes << " bytes to " << com << std::endl;
    return cli::kSent;
}

// The settings from the profile and the command line; refusals on stderr.
std::optional<profile::Settings> ReadSettings(const QCommandLineParser &parser, const Options &options)
{
    profile::Reading reading;
    if (parser.isSet(options.profile)) {
        const auto card = profile::CardName(parser.value(options.card).toStdString());
        reading = profile::ReadProfileFile(parser.value(options.profile).toStdString(), card.value_or(""));
    }
    for (const auto &[key, option] : options.keys) {
        if (!parser.isSet(option))
            continue;
        if (auto refusal = profile::Override(reading.settings, key, parser.value(option).toStdString()))
            reading.refusals.push_back(std::move(*refusal));
    }
    for (const auto &refusal : reading.refusals)
        Refuse(kRefused, refusal);
    if (!reading.refusals.empty())
        return std::nullopt;
    return reading.settings;
}

int Configure(const QCommandLineParser &parser, const Options &options, std::int16_t port)
{
    if (parser.isSet(options.card) && !parser.isSet(options.profile))
        return Refuse(kBadUsage, "--card goes only with --profile");
    // Blank would quietly mean [defaults] alone.
    if (parser.isSet(options.card) && !profile::CardName(parser.value(options.card).toStdString()))
        return Refuse(kBadUsage, "--card needs the NAME of a [card NAME] section");
    const auto settings = ReadSettings(parser, options);
    if (!settings)
        return kRefused;
    // Without one, every answer would fall back to the window's first
    // protocol, and a folder or an empty file would configure a card.
    if (!settings->contains("protocol"))
        return Refuse(kRefused, "protocol is not set: give it in the profile or as --protocol ethernet, onthefly or "
                                "standard; nothing sent");
    const auto filled = profile::FillAnswers(*settings);
    for (const auto &unused : filled.unused)
        std::cerr << "tovrik-cli: " << unused << '\n';
    if (const auto missing = profile::MissingEntries(filled.answers); !missing.empty()) {
        std::string names;
        for (const auto &name : missing)
            names += (names.empty() ? "" : ", ") + name;
        return Refuse(kRefused, "not ready to configure, missing: " + names);
    }
    if (const auto problem = MalformedAddressMessage(filled.answers))
        return Refuse(kRefused, *problem);

    const auto lines = ConfigurationLines(filled.answers);
    if (parser.isSet(options.dryRun)) {
        for (const auto &line : lines)
            std::cout << WithCarriageReturnsShown(line) << '\n';
        return cli::kSent;
    }
    if (const auto declined = Confirm("Configure the card on COM" + std::to_string(port) + "?",
                                      parser.isSet(options.yes)))
        return *declined;
    return Send(port, lines, LogOnly(parser.value(options.log).toStdString()));
}

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
        std::cout << devices::Printable(line_) << std::endl;
        line_.clear();
    }
    void Finish()
    {
        if (!line_.empty())
            std::cout << devices::Printable(line_) << std::endl;
    }
    [[nodiscard]] bool HeardAnything() const { return bytes_ > 0; }

private:
    std::string line_;
    std::size_t bytes_ = 0;
};

int ShowConfig(const QCommandLineParser &parser, const Options &options, std::int16_t port)
{
    bool numeric = false;
    const double seconds = parser.value(options.seconds).toDouble(&numeric);
    if (!numeric || !(seconds > 0 && seconds <= 3600))
        return Refuse(kBadUsage, "--seconds takes a number of seconds above 0, up to 3600");
    const auto loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        return Refuse(cli::kPortNotOpened, loaded.error);

    AnswerPrinter printer;
    const cli::Listening listening {parser.value(options.log).toStdString(),
                                    std::chrono::milliseconds(static_cast<long long>(seconds * 1000)),
                                    {},
                                    [&printer](char c) { printer.Byte(c); }};
    const auto outcome = cli::SendToCard(*loaded.library, port, {gateway::LogConfigLine()}, {}, listening);
    printer.Finish();
    if (outcome.status != cli::kSent)
        return Refuse(outcome.status, outcome.message);
    if (!printer.HeardAnything())
        return Refuse(cli::kSendFailed, "the card on COM" + std::to_string(port) + " answered nothing within "
                                            + parser.value(options.seconds).toStdString() + " s");
    return cli::kSent;
}

// The options that `command` does not take, by name.
std::optional<std::string> StrayOption(const QCommandLineParser &parser, const Options &options,
                                       const std::string &command)
{
    std::vector<const QCommandLineOption *> stray;
    if (command != "configure") {
        stray = {&options.profile, &options.card, &options.dryRun};
        for (const auto &[key, option] : options.keys)
            stray.push_back(&option);
    }
    if (command != "show-config")
        stray.push_back(&options.seconds);
    if (command == "show-config")
        stray.push_back(&options.yes);
    if (command == "profile") {
        stray.push_back(&options.com);
        stray.push_back(&options.yes);
        stray.push_back(&options.log);
    }
    for (const auto *option : stray)
        if (parser.isSet(*option))
            return option->names().front().toStdString();
    return std::nullopt;
}

constexpr const char *kDescription =
    "Configures a Brenlock card from a script or a site profile, as the tovrik window would.\n"
    "\n"
    "Commands:\n"
    "  configure   send a configuration: from --profile FILE [--card NAME] and the key options\n"
    "  delete      erase the card's configuration\n"
    "  show-config print the configuration the card holds, as it answers\n"
    "  profile     print a commented profile with every key and its allowed values\n"
    "\n"
    "Exit status: 0 sent (or printed), 1 input refused, 2 wrong usage, 3 port not opened,\n"
    "4 a write failed, the line was lost, or the card answered nothing (show-config).";

// An option given twice, whose last value would win without a word.
std::optional<std::string> GivenTwice(const QCommandLineParser &parser)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given)
        if (given.count(name) > 1)
            return name.toStdString();
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tovrik-cli");
    QCoreApplication::setApplicationVersion(TOVRIK_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addPositionalArgument("command", "configure, delete, show-config or profile.", "command");
    const Options options(parser);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return Refuse(kBadUsage, parser.errorText().toStdString() + " See tovrik-cli --help.");
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    if (const auto twice = GivenTwice(parser))
        return Refuse(kBadUsage, "--" + *twice + " is given twice; give each option once");

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return Refuse(kBadUsage, "give one command: configure, delete, show-config or profile. See tovrik-cli --help.");
    const std::string command = args.front().toStdString();
    if (command != "configure" && command != "delete" && command != "show-config" && command != "profile")
        return Refuse(kBadUsage,
                      "unknown command '" + command + "'; the commands are configure, delete, show-config and profile");
    if (const auto stray = StrayOption(parser, options, command))
        return Refuse(kBadUsage, "--" + *stray + " does not go with " + command);

    bool numeric = false;
    const int port = parser.value(options.com).toInt(&numeric);
    if (!numeric || port < 1 || port > 8)
        return Refuse(kBadUsage, "--com takes a port number from 1 to 8");

    if (command == "profile") {
        std::cout << profile::ProfileTemplate();
        return cli::kSent;
    }
    if (command == "delete") {
        if (const auto declined = Confirm("Erase the configuration of the card on COM" + std::to_string(port) + "?",
                                          parser.isSet(options.yes)))
            return *declined;
        return Send(static_cast<std::int16_t>(port), {gateway::ClearConfigLine()},
                    LogOnly(parser.value(options.log).toStdString()));
    }
    if (command == "show-config")
        return ShowConfig(parser, options, static_cast<std::int16_t>(port));
    return Configure(parser, options, static_cast<std::int16_t>(port));
}
