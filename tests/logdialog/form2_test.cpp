// The dialog against a recording library: what each opening shows, what OK
// applies, and that every other way out applies nothing.
#include "dialog_harness.h"

#include "board_link.h"
#include "fakes.h"
#include "gateway_commands.h"
#include "twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QtTest>

#include <memory>

using dialogtest::Find;
using testsupport::FakeMessageBoxes;
using testsupport::FakeSerialLibrary;

namespace {

enum class Exit { CancelButton, EscInCombo, EscInFileName, TitleBar, MainWindowGone };

} // namespace

Q_DECLARE_METATYPE(Exit)

class Form2Test : public QObject {
    Q_OBJECT

    FakeSerialLibrary library;
    FakeMessageBoxes boxes;
    std::unique_ptr<BoardLink> link;
    std::unique_ptr<GatewayCommands> commands;
    std::unique_ptr<dialogtest::FakeMainWindow> main;

    Form2 *Open() { return dialogtest::OpenDialog(*main, *link, *commands, boxes); }

    // The state start-up leaves: COM1 open, logging to "TovrikLog.txt".
    void StartUp(bool logging = true)
    {
        (void)link->SelectComPort(1);
        if (logging)
            library.StartLogging("TovrikLog.txt");
        library.calls.clear();
    }

private slots:
    void initTestCase() { dialogtest::QuietPlatformWarnings(); }

    void init()
    {
        library = FakeSerialLibrary();
        boxes = FakeMessageBoxes();
        link = std::make_unique<BoardLink>(library);
        commands = std::make_unique<GatewayCommands>(*link);
        main = std::make_unique<dialogtest::FakeMainWindow>(*link);
    }

    void cleanup()
    {
        delete main->dialog;
        dialogtest::FlushDeletes();
    }

    void opening_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("logging");
        QTest::addColumn<QString>("logName");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("fileName");

        QTest::newRow("after start-up") << 1 << 1 << "TovrikLog.txt" << 0 << "TovrikLog.txt";
        QTest::newRow("not logging") << 1 << 0 << "" << 0 << "TovrikLog1.txt";
        QTest::newRow("stopped, old name still reported") << 1 << 0 << "old.txt" << 0 << "TovrikLog1.txt";
        QTest::newRow("logging, no name reported") << 1 << 1 << "" << 0 << "TovrikLog1.txt";
        QTest::newRow("COM8 chosen earlier") << 8 << 1 << "a b.log" << 7 << "a b.log";
        QTest::newRow("no port chosen yet") << 0 << 1 << "x.txt" << -1 << "x.txt";
    }

    void opening()
    {
        QFETCH(int, port);
        QFETCH(int, logging);
        QFETCH(QString, logName);
        QFETCH(int, listIndex);
        QFETCH(QString, fileName);

        library.openablePorts = {port};
        if (port)
            (void)link->SelectComPort(static_cast<std::int16_t>(port));
        library.logging = logging != 0;
        library.logName = logName.toStdString();
        library.calls.clear();

        Form2 *dlg = Open();
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        QVERIFY(combo);
        QCOMPARE(combo->count(), 8);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(combo->itemText(i), QStringLiteral("Com%1").arg(i + 1));
        QCOMPARE(combo->ListIndex(), listIndex);
        QCOMPARE(combo->currentText(), listIndex < 0 ? QString() : combo->itemText(listIndex));
        QCOMPARE(Find<QCheckBox>(dlg, "WantLogging")->isChecked(), logging == 1);
        QCOMPARE(Find<QLineEdit>(dlg, "FileName")->text(), fileName);
        QCOMPARE(Find<QLineEdit>(dlg, "FileName")->isEnabled(), logging == 1);
        QCOMPARE(Find<QPushButton>(dlg, "LogConfig")->isEnabled(), logging == 1);
        // Opening only looks.
        QCOMPARE(library.calls, std::vector<std::string>());
        QVERIFY(main->captions.empty());
        QVERIFY(main->checksSawOpen.empty());
    }

    void window()
    {
        StartUp();
        Form2 *dlg = Open();
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Logging & Serial Port Selection"));
        QVERIFY(!dlg->isModal());
        const qreal dpi = twips::LogicalDpi(dlg);
        const QSize client(twips::ToPixels(6300, dpi), twips::ToPixels(4605, dpi));
        QCOMPARE(dlg->size(), client);
        QCOMPARE(dlg->minimumSize(), client);
        QCOMPARE(dlg->maximumSize(), client);

        // Frames hold their controls.
        auto *serial = Find<QGroupBox>(dlg, "Frame2");
        auto *logging = Find<QGroupBox>(dlg, "Frame3");
        QCOMPARE(serial->title(), QStringLiteral("Serial Port"));
        QCOMPARE(logging->title(), QStringLiteral("Logging"));
        for (const char *name : {"Label2", "ComPortCombo"})
            QCOMPARE(Find<QWidget>(dlg, name)->parentWidget(), serial);
        for (const char *name : {"WantLogging", "Label3", "FileName", "Label1", "LogConfig"})
            QCOMPARE(Find<QWidget>(dlg, name)->parentWidget(), logging);
        QCOMPARE(Find<QCheckBox>(dlg, "WantLogging")->text(), QStringLiteral("Gateway logging to File. "));
    }

    // Every caption can be read whole in the system font.
    void captionsFit()
    {
        StartUp();
        Form2 *dlg = Open();
        for (QLabel *label : dlg->findChildren<QLabel *>()) {
            const QFontMetrics fm(label->font());
            const QRect room = label->contentsRect();
            const QRect needed = fm.boundingRect(room, Qt::TextWordWrap, label->text());
            if (label->wordWrap()) {
                QVERIFY2(needed.height() <= room.height(), qPrintable(label->objectName()));
            } else {
                QVERIFY2(fm.horizontalAdvance(label->text()) <= room.width(), qPrintable(label->objectName()));
                QVERIFY2(fm.height() <= room.height(), qPrintable(label->objectName()));
            }
        }
        for (QAbstractButton *button : dlg->findChildren<QAbstractButton *>()) {
            if (button->text().isEmpty())
                continue;
            QVERIFY2(button->sizeHint().width() <= button->width() + 1, qPrintable(button->objectName()));
        }
        for (QGroupBox *frame : dlg->findChildren<QGroupBox *>()) {
            const QFontMetrics fm(frame->font());
            QVERIFY2(fm.horizontalAdvance(frame->title()) < frame->width(), qPrintable(frame->objectName()));
        }
        // Controls lie inside their frames and the window.
        for (QWidget *w : dlg->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(dlg->rect().contains(w->geometry()), qPrintable(w->objectName()));
        for (QGroupBox *frame : dlg->findChildren<QGroupBox *>())
            for (QWidget *w : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(frame->rect().contains(w->geometry()), qPrintable(w->objectName()));
    }

    void focusOrder()
    {
        StartUp();
        QVERIFY(Open());
        const auto focused = [] {
            QWidget *w = QApplication::focusWidget();
            while (w && w->objectName().isEmpty())
                w = w->parentWidget();
            return w ? w->objectName() : QString();
        };
        QCOMPARE(focused(), QStringLiteral("ComPortCombo"));
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << focused();
        }
        QCOMPARE(order, QStringList({"cmdOK", "cmdCancel", "WantLogging", "FileName", "LogConfig",
                                     "ComPortCombo"}));
    }

    void checkBoxOnlyEnables()
    {
        StartUp(false);
        Form2 *dlg = Open();
        auto *box = Find<QCheckBox>(dlg, "WantLogging");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(Find<QLineEdit>(dlg, "FileName")->isEnabled());
        QVERIFY(Find<QPushButton>(dlg, "LogConfig")->isEnabled());
        QTest::keyClick(box, Qt::Key_Space);
        QVERIFY(!Find<QLineEdit>(dlg, "FileName")->isEnabled());
        QVERIFY(!Find<QPushButton>(dlg, "LogConfig")->isEnabled());
        QCOMPARE(library.calls, std::vector<std::string>());
    }

    void okLogging_data()
    {
        QTest::addColumn<bool>("loggingBefore");
        QTest::addColumn<bool>("clickBox");
        QTest::addColumn<QString>("typedName"); // replaces the file name when not "-"
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("switched on") << false << true << "-" << false
                                     << QStringList({"StartLogging TovrikLog1.txt"})
                                     << QStringList({"Logging To File TovrikLog1.txt"}) << QStringList();
        QTest::newRow("switched on, own name") << false << true << "card run 2.log" << false
                                               << QStringList({"StartLogging card run 2.log"})
                                               << QStringList({"Logging To File card run 2.log"}) << QStringList();
        QTest::newRow("switched off") << true << true << "-" << false << QStringList({"StopLogging"})
                                      << QStringList({""}) << QStringList();
        QTest::newRow("name changed while logging") << true << false << "other.txt" << false << QStringList()
                                                    << QStringList() << QStringList();
        QTest::newRow("switched on, name emptied") << false << true << "" << false << QStringList()
                                                   << QStringList() << QStringList();
        QTest::newRow("left off") << false << false << "new.txt" << false << QStringList() << QStringList()
                                  << QStringList();
        QTest::newRow("file cannot be opened") << false << true << "-" << true
                                               << QStringList({"StartLogging TovrikLog1.txt"}) << QStringList()
                                               << QStringList({"Failed to open log file TovrikLog1.txt"});
    }

    void okLogging()
    {
        QFETCH(bool, loggingBefore);
        QFETCH(bool, clickBox);
        QFETCH(QString, typedName);
        QFETCH(bool, refuse);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, shown);

        StartUp(loggingBefore);
        library.refuseLog = refuse;
        Form2 *dlg = Open();
        if (clickBox)
            QTest::mouseClick(Find<QCheckBox>(dlg, "WantLogging"), Qt::LeftButton);
        if (typedName != QLatin1String("-")) {
            auto *name = Find<QLineEdit>(dlg, "FileName");
            name->setFocus();
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(name, Qt::Key_Backspace);
            QTest::keyClicks(name, typedName);
        }
        QTest::mouseClick(Find<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);

        QStringList made;
        for (const auto &c : library.calls)
            made << QString::fromStdString(c);
        QCOMPARE(made, calls);
        QCOMPARE(QStringList(main->captions.begin(), main->captions.end()), captions);
        QStringList boxTexts;
        for (const auto &s : boxes.shown)
            boxTexts << QString::fromStdString(s);
        QCOMPARE(boxTexts, shown);
        QCOMPARE(main->checksSawOpen, std::vector<bool>({true}));
        dialogtest::FlushDeletes();
        QVERIFY(!main->dialog);
    }

    void okPort_data()
    {
        QTest::addColumn<bool>("com1Opens");
        QTest::addColumn<bool>("com3Opens");
        QTest::addColumn<int>("pick");      // entry picked from the list, -1 none
        QTest::addColumn<QString>("typed"); // then typed into the text field
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("openAfter"); // as the readiness check sees it

        const QStringList none;
        QTest::newRow("Com3 while COM1 open")
            << true << true << 2 << "" << QStringList({"CloseCommPort", "OpenCommPort 3", "ConfigureOpenComPort"})
            << none << true;
        QTest::newRow("Com3 cannot be opened")
            << true << false << 2 << "" << QStringList({"CloseCommPort", "OpenCommPort 3"})
            << QStringList({"Failed to Open Com3"}) << false;
        QTest::newRow("Com3 while COM1 closed")
            << false << true << 2 << "" << QStringList({"OpenCommPort 3", "ConfigureOpenComPort"}) << none << true;
        QTest::newRow("same port, open") << true << true << -1 << "" << none << none << true;
        QTest::newRow("same port, closed: tried again")
            << false << true << -1 << "" << QStringList({"OpenCommPort 1"}) << QStringList({"Failed to Open Com1"})
            << false;
        QTest::newRow("Com3 typed") << true << true << -1 << "Com3" << none << none << true;
        QTest::newRow("Com3 picked, then typed over") << true << true << 2 << "Com3" << none << none << true;
        QTest::newRow("Com1 retyped, COM1 closed") << false << true << -1 << "Com1" << none << none << false;
        QTest::newRow("Com9 typed") << true << true << -1 << "Com9" << none << none << true;
    }

    void okPort()
    {
        QFETCH(bool, com1Opens);
        QFETCH(bool, com3Opens);
        QFETCH(int, pick);
        QFETCH(QString, typed);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, shown);
        QFETCH(bool, openAfter);

        library.openablePorts.clear();
        if (com1Opens)
            library.openablePorts.insert(1);
        if (com3Opens)
            library.openablePorts.insert(3);
        StartUp();
        boxes.shown.clear();

        Form2 *dlg = Open();
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        if (pick >= 0) {
            dialogtest::PickEntry(combo, pick);
            QCOMPARE(combo->ListIndex(), pick);
        }
        if (!typed.isEmpty()) {
            dialogtest::TypeIntoCombo(combo, typed);
            QCOMPARE(combo->ListIndex(), -1);
        }
        QTest::mouseClick(Find<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);

        QStringList made;
        for (const auto &c : library.calls)
            made << QString::fromStdString(c);
        QCOMPARE(made, calls);
        QStringList boxTexts;
        for (const auto &s : boxes.shown)
            boxTexts << QString::fromStdString(s);
        QCOMPARE(boxTexts, shown);
        // The readiness check runs once, after the port has changed.
        QCOMPARE(main->checksSawOpen, std::vector<bool>({openAfter}));
        QCOMPARE(combo->count(), 8);
    }

    // Typing leaves the list alone and never picks, however the typing ends.
    void typedTextChoosesNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("endKey");
        QTest::newRow("Enter on matching text") << "Com3" << int(Qt::Key_Return);
        QTest::newRow("Enter, other case") << "com3" << int(Qt::Key_Enter);
        QTest::newRow("Tab on matching text") << "com3" << int(Qt::Key_Tab);
        QTest::newRow("Enter on new text") << "COM12" << int(Qt::Key_Return);
    }

    void typedTextChoosesNothing()
    {
        QFETCH(QString, typed);
        QFETCH(int, endKey);
        StartUp();
        Form2 *dlg = Open();
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        dialogtest::TypeIntoCombo(combo, typed);
        QTest::keyClick(combo->lineEdit(), Qt::Key(endKey));
        QCOMPARE(combo->count(), 8);
        QCOMPARE(combo->ListIndex(), -1);
        QCOMPARE(combo->currentText(), typed);
        QVERIFY(dlg->isVisible()); // Enter pressed no button
        QVERIFY(library.calls.empty());
        QVERIFY(main->checksSawOpen.empty());

        // Picking from the list afterwards counts, even the entry shown before.
        dialogtest::PickEntry(combo, 0);
        QCOMPARE(combo->ListIndex(), 0);
        QCOMPARE(combo->currentText(), QStringLiteral("Com1"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Down);
        QCOMPARE(combo->ListIndex(), 1);
    }

    void enterPressesNothing_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("combo box") << "ComPortCombo";
        QTest::newRow("file name") << "FileName";
        QTest::newRow("check box") << "WantLogging";
        QTest::newRow("Cancel button") << "cmdCancel";
    }

    void enterPressesNothing()
    {
        QFETCH(QString, focus);
        StartUp();
        Form2 *dlg = Open();
        auto *target = Find<QWidget>(dlg, qPrintable(focus));
        target->setFocus();
        QWidget *w = QApplication::focusWidget();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(dlg->isVisible());
        for (QPushButton *b : dlg->findChildren<QPushButton *>())
            QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
        QVERIFY(main->checksSawOpen.empty());
        QVERIFY(library.calls.empty());
    }

    // Every way out but OK applies nothing; a command already sent stays sent.
    void leavingAppliesNothing_data()
    {
        QTest::addColumn<Exit>("exit");
        QTest::newRow("Cancel") << Exit::CancelButton;
        QTest::newRow("Esc in the combo box") << Exit::EscInCombo;
        QTest::newRow("Esc in the file name") << Exit::EscInFileName;
        QTest::newRow("close button") << Exit::TitleBar;
        QTest::newRow("main window closed") << Exit::MainWindowGone;
    }

    void leavingAppliesNothing()
    {
        QFETCH(Exit, exit);
        StartUp();
        Form2 *dlg = Open();
        QTest::mouseClick(Find<QPushButton>(dlg, "LogConfig"), Qt::LeftButton);
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        dialogtest::PickEntry(combo, 2);
        QTest::mouseClick(Find<QCheckBox>(dlg, "WantLogging"), Qt::LeftButton);
        library.calls.clear();
        QCOMPARE(library.written, std::string("%CL\r"));

        switch (exit) {
        case Exit::CancelButton:
            QTest::mouseClick(Find<QPushButton>(dlg, "cmdCancel"), Qt::LeftButton);
            break;
        case Exit::EscInCombo:
            combo->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            break;
        case Exit::EscInFileName: {
            QTest::mouseClick(Find<QCheckBox>(dlg, "WantLogging"), Qt::LeftButton);
            auto *name = Find<QLineEdit>(dlg, "FileName");
            name->setFocus();
            QTest::keyClicks(name, "x");
            library.calls.clear();
            QTest::keyClick(name, Qt::Key_Escape);
            break;
        }
        case Exit::TitleBar:
            dialogtest::CloseByTitleBar(dlg);
            break;
        case Exit::MainWindowGone:
            delete main->dialog;
            break;
        }
        dialogtest::FlushDeletes();
        QVERIFY(!main->dialog);
        QVERIFY(library.calls.empty());
        QVERIFY(boxes.shown.empty());
        QVERIFY(main->captions.empty());
        QVERIFY(main->checksSawOpen.empty());
        QCOMPARE(link->GetComPort(), std::int16_t(1));
        QVERIFY(library.logging);
    }

    // The main window's button again only raises the open dialog; after a
    // close the next opening starts from the library and the board link.
    void reopening()
    {
        StartUp();
        Form2 *dlg = Open();
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        dialogtest::PickEntry(combo, 4);
        auto *name = Find<QLineEdit>(dlg, "FileName");
        name->setFocus();
        QTest::keyClick(name, Qt::Key_End);
        QTest::keyClicks(name, "2");
        auto *box = Find<QCheckBox>(dlg, "WantLogging");
        QTest::mouseClick(box, Qt::LeftButton);

        QCOMPARE(Open(), dlg);
        QCOMPARE(combo->ListIndex(), 4);
        QCOMPARE(name->text(), QStringLiteral("TovrikLog.txt2"));
        QVERIFY(!box->isChecked());
        int open = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            open += qobject_cast<Form2 *>(w) && w->isVisible() ? 1 : 0;
        QCOMPARE(open, 1);

        QTest::mouseClick(Find<QPushButton>(dlg, "cmdCancel"), Qt::LeftButton);
        dialogtest::FlushDeletes();
        QVERIFY(!main->dialog);

        library.StopLogging();
        Form2 *again = Open();
        QCOMPARE(Find<DropDownCombo>(again, "ComPortCombo")->ListIndex(), 0);
        QVERIFY(!Find<QCheckBox>(again, "WantLogging")->isChecked());
        QCOMPARE(Find<QLineEdit>(again, "FileName")->text(), QStringLiteral("TovrikLog1.txt"));
    }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
