// Tovrik: configures a Brenlock card on a serial port from one window.
#include "board_link.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "qt_message_boxes.h"
#include "serial_library.h"
#include "ticker.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovrik"));

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
    return QApplication::exec();
}
