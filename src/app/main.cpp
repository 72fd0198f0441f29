// Tovrik: configures a Brenlock card on a serial port from one window.
#include "board_link.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "port_names.h"
#include "profile_reader.h"
#include "qt_message_boxes.h"
#include "serial_library.h"
#include "ticker.h"
#include "tovrik_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>

namespace {

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption profile {QStringLiteral("profile"),
                                QStringLiteral("Fill in the window from the site profile FILE, as typing would; "
                                               "nothing is sent before Configure Gateway is pressed."),
                                QStringLiteral("FILE")};
    QCommandLineOption card {QStringLiteral("card"),
                             QStringLiteral("With --profile: lay the profile's section [card NAME] over its "
                                            "[defaults]."),
                             QStringLiteral("NAME")};

    CommandLine()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Configures a Brenlock gateway card over a serial port: opens COM1 and the window."));
        // Qt's own options are single-dash words (-platform, -style), not
        // bundles of one-letter options such as -v.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({profile, card});
    }
};

// Help, version and wrong use before QApplication, which needs a display.
// Qt's options are still unknown here, so wrong ones are reported later.
// Nothing when the window may open; else the exit status.
std::optional<int> AnsweredWithoutAWindow(CommandLine &line, int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    line.parser.parse(arguments);
    if (line.parser.isSet(line.help) || line.parser.isSet(line.version)) {
        const QCoreApplication core(argc, argv); // names the program in the usage line
        if (line.parser.isSet(line.help))
            line.parser.showHelp(0);
        line.parser.showVersion();
    }
    if (line.parser.isSet(line.card) && !line.parser.isSet(line.profile)) {
        std::fputs("tovrik: --card goes only with --profile. See tovrik --help.\n", stderr);
        return 2;
    }
    // Blank would quietly mean [defaults] alone.
    if (line.parser.isSet(line.card) && !profile::CardName(line.parser.value(line.card).toStdString())) {
        std::fputs("tovrik: --card needs the NAME of a [card NAME] section. See tovrik --help.\n", stderr);
        return 2;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("tovrik"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVRIK_VERSION));
    CommandLine line;
    if (const auto status = AnsweredWithoutAWindow(line, argc, argv))
        return *status;

    QApplication app(argc, argv);
    // QApplication has taken out its own options: what is left must be ours.
    line.parser.process(app);
    if (!line.parser.positionalArguments().isEmpty()) {
        std::fputs("tovrik: takes no arguments. See tovrik --help.\n", stderr);
        return 1;
    }

    QtMessageBoxes boxes;
    LoadedLibrary loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        boxes.Report(loaded.error); // runs on with the port closed

    BoardLink link(*loaded.library);
    GatewayCommands commands(link);
    QtTicker timer1(250);
    // Where a card that went away comes back: its link, or the adapter's node.
    FolderWatchTicker lineWatch(1000, {QString::fromStdString(devices::DeviceFolder().string()),
                                       QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id")});
    Form1 form(link, commands, boxes, timer1, lineWatch);
    form.show();
    // Filled in from the event loop, with the window shown, as a technician
    // fills it in; a refused profile's box comes up over it. The notes go to
    // stderr here, and into a box of the window's own.
    if (line.parser.isSet(line.profile)) {
        const std::string path = line.parser.value(line.profile).toLocal8Bit().toStdString();
        const std::string card = profile::CardName(line.parser.value(line.card).toStdString()).value_or("");
        QTimer::singleShot(0, &form, [&form, path, card] {
            for (const auto &unused : form.FillFromProfile(path, card))
                std::fprintf(stderr, "tovrik: %s\n", unused.c_str());
        });
    }
    return QApplication::exec();
}
