// tovrik-ports: which device each COM port is, and the links that say so.
#include "port_mapping.h"
#include "port_names.h"
#include "port_survey.h"
#include "printable.h"
#include "tovrik_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <iostream>

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

// Messages name devices, folders and the arguments given, any of which may
// hold a newline or a terminal's control bytes; our own words hold none.
int Refuse(int status, const std::string &message)
{
    std::cerr << "tovrik-ports: " << devices::Printable(message) << '\n';
    return status;
}

int Report(const ports::Outcome &outcome)
{
    if (!outcome.ok)
        return Refuse(kFailed, outcome.message);
    std::cout << devices::Printable(outcome.message) << std::endl;
    for (const auto &warning : outcome.warnings)
        std::cerr << "tovrik-ports: " << devices::Printable(warning) << '\n';
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tovrik-ports");
    QCoreApplication::setApplicationVersion(TOVRIK_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Shows which device each of COM1 to COM8 is, and maps a COM port to a device.\n"
        "\n"
        "Commands:\n"
        "  (none)           list COM1 to COM8 and the serial devices that no COM port names\n"
        "  map N DEVICE     make COM N the device DEVICE (an absolute path), by its stable\n"
        "                   /dev/serial/by-id name when it has one\n"
        "  unmap N          remove the link for COM N");
    parser.addPositionalArgument("command", "map or unmap, with its arguments; none to list.", "[command]");
    const QCommandLineOption force({"f", "force"}, "With map: replace the link COM N has.");
    parser.addOption(force);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return Refuse(kBadUsage, parser.errorText().toStdString() + " See tovrik-ports --help.");
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    std::vector<std::string> args;
    for (const auto &arg : parser.positionalArguments())
        args.push_back(arg.toStdString());
    const std::string command = args.empty() ? "" : args.front();
    if (parser.isSet(force) && command != "map")
        return Refuse(kBadUsage, "--force goes only with map");

    if (command.empty()) {
        std::cout << ports::FormatSurvey(ports::TakeSurvey());
        return 0;
    }
    const std::size_t wanted = command == "map" ? 3 : command == "unmap" ? 2 : 0;
    if (wanted == 0)
        return Refuse(kBadUsage, "unknown command '" + command + "'; the commands are map and unmap");
    if (args.size() != wanted)
        return Refuse(kBadUsage, command == "map" ? "usage: tovrik-ports map N DEVICE" : "usage: tovrik-ports unmap N");
    const auto port = devices::ParsePort(args[1]);
    if (!port)
        return Refuse(kBadUsage, "the COM port is a number from " + std::to_string(devices::kFirstPort) + " to "
                                     + std::to_string(devices::kLastPort) + ", not '" + args[1] + "'");
    return Report(command == "map" ? ports::MapPort(*port, args[2], parser.isSet(force)) : ports::UnmapPort(*port));
}
