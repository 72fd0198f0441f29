// Tovrik: configures a Brenlock card on a serial port from one window.
#include "board_link.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "qt_message_boxes.h"
#include "serial_library.h"
#include "ticker.h"
#include "tovrik_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <iostream>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("tovrik"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVRIK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Configures a Brenlock gateway card over a serial port: opens COM1 and the window."));
    // Qt's own options are single-dash words (-platform, -style), not bundles
    // of one-letter options such as -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption profile(
        QStringLiteral("profile"),
        QStringLiteral("Fill in the window from the site profile FILE, as typing would; "
                       "nothing is sent before Configure Gateway is pressed."),
        QStringLiteral("FILE"));
    const QCommandLineOption card(
        QStringLiteral("card"),
        QStringLiteral("With --profile: lay the profile's section [card NAME] over its [defaults]."),
        QStringLiteral("NAME"));
    parser.addOptions({profile, card});

    // Help and version before QApplication, which needs a display. Qt's
    // options are still unknown here, so wrong ones are reported further down.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(version)) {
        const QCoreApplication core(argc, argv); // names the program in the usage line
        if (parser.isSet(help))
            parser.showHelp(0);
        parser.showVersion();
    }
    if (parser.isSet(card) && !parser.isSet(profile)) {
        std::cerr << "tovrik: --card goes only with --profile. See tovrik --help.\n";
        return 2;
    }

    QApplication app(argc, argv);
    // QApplication has taken out its own options: what is left must be ours.
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::cerr << "tovrik: takes no arguments. See tovrik --help.\n";
        return 1;
    }

    QtMessageBoxes boxes;
    LoadedLibrary loaded = LoadSerialLibrary();
    if (!loaded.error.empty())
        boxes.Report(loaded.error); // runs on with the port closed

    BoardLink link(*loaded.library);
    GatewayCommands commands(link);
    QtTicker timer1(250);
    QtTicker lineWatch(1000);
    Form1 form(link, commands, boxes, timer1, lineWatch);
    form.show();
    // Filled in from the event loop, with the window shown, as a technician
    // fills it in; a refused profile's box comes up over it.
    if (parser.isSet(profile)) {
        QTimer::singleShot(0, &form, [&form, path = parser.value(profile), name = parser.value(card)] {
            for (const auto &unused : form.FillFromProfile(path.toLocal8Bit().toStdString(), name.toStdString()))
                std::cerr << "tovrik: " << unused << '\n';
        });
    }
    return QApplication::exec();
}
