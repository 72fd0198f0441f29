// Draws the main window and the logging dialog as the README shows them, on a
// recording library, into the folder given: form1.png and form2.png.
#include "board_link.h"
#include "fake_ticker.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>

namespace {

void Type(Form1 &form, const char *box, const char *text)
{
    form.findChild<QLineEdit *>(QString::fromLatin1(box))->setText(QString::fromLatin1(text));
}

bool Save(QWidget *window, const QDir &folder, const char *name)
{
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (window->grab().save(path))
        return true;
    std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    testsupport::FakeSerialLibrary library;
    testsupport::FakeMessageBoxes boxes;
    FakeTicker timer, lineWatch;
    BoardLink link(library);
    GatewayCommands commands(link);
    Form1 form(link, commands, boxes, timer, lineWatch);
    form.show();

    // "Standard IP" without DHCP, with the card's own addresses typed in.
    form.findChild<QRadioButton *>(QStringLiteral("Option3"))->setChecked(true);
    const char *ip[] = {"10", "0", "0", "5"}, *sub[] = {"255", "255", "255", "0"}, *gw[] = {"10", "0", "0", "1"};
    for (int i = 0; i < 4; ++i) {
        Type(form, ("IP" + std::to_string(i + 1)).c_str(), ip[i]);
        Type(form, ("Sub" + std::to_string(i + 1)).c_str(), sub[i]);
        Type(form, ("gw" + std::to_string(i + 1)).c_str(), gw[i]);
    }
    form.OnDialogClicked();
    QApplication::processEvents();
    const bool saved = Save(&form, folder, "form1.png");
    return saved && Save(form.Dialog(), folder, "form2.png") ? 0 : 1;
}
