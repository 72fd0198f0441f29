// tovrik-cli: configures or erases a card from a script or a site profile,
// with the window's rules, lines and sender, and rolls out a site's cards.
#include "command_support.h"
#include "commands.h"
#include "interruption.h"
#include "output.h"
#include "port_names.h"
#include "tovrik_version.h"

#include <QCoreApplication>

namespace {

using namespace cli;

// The port or device the bytes go to; nothing after a usage error.
std::optional<Target> TargetOf(const QCommandLineParser &parser, const Options &options)
{
    if (parser.isSet(options.com) && parser.isSet(options.device))
        return Refuse(kBadUsage, "give --com or --device, not both"), std::nullopt;
    if (parser.isSet(options.device)) {
        const std::string device = parser.value(options.device).toStdString();
        if (device.empty())
            return Refuse(kBadUsage, "--device needs the PATH of a serial device"), std::nullopt;
        return Target {0, device};
    }
    const auto port = devices::ParsePort(parser.value(options.com).toStdString());
    if (!port)
        return Refuse(kBadUsage, "--com takes a port number from 1 to 8"), std::nullopt;
    return Target {static_cast<std::int16_t>(*port), {}};
}

int Run(const Invocation &call)
{
    switch (call.command) {
    case Command::Configure:
        return Configure(call);
    case Command::Delete:
        return Delete(call);
    case Command::ShowConfig:
        return ShowConfig(call);
    case Command::Profile:
        return PrintTemplate();
    case Command::Cards:
        return PrintCards(call);
    case Command::Rollout:
        return RollOut(call);
    }
    return kBadUsage;
}

int Help(const std::string &text) { return Print(text) ? kSent : kOutputFailed; }

} // namespace

int main(int argc, char **argv)
{
    CatchInterruptions();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tovrik-cli");
    QCoreApplication::setApplicationVersion(TOVRIK_VERSION);

    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return Refuse(kBadUsage, UsageError(parser, options));

    const QStringList args = parser.positionalArguments();
    const auto command = args.isEmpty() ? std::nullopt : FindCommand(args.front().toStdString());
    if (parser.isSet(options.helpAll))
        return Help(HelpText(options, std::nullopt, true));
    if (parser.isSet(options.help))
        return Help(HelpText(options, command));
    if (parser.isSet(options.version))
        return Help("tovrik-cli " TOVRIK_VERSION "\n");

    if (const auto twice = GivenTwice(parser))
        return Refuse(kBadUsage, *twice + " is given twice; give each option once");
    if (args.size() != 1)
        return Refuse(kBadUsage, "give one command: configure, delete, show-config, profile, cards or rollout. See "
                                 "tovrik-cli --help.");
    if (!command)
        return Refuse(kBadUsage, "unknown command '" + args.front().toStdString() +
                                     "'; the commands are configure, delete, show-config, profile, cards and rollout");
    if (const auto stray = StrayOption(parser, options, *command))
        return Refuse(kBadUsage, *stray + " does not go with " + std::string(CommandName(*command)));

    const auto target = TargetOf(parser, options);
    if (!target)
        return kBadUsage;
    return Run({parser, options, *command, *target});
}
