// The dialog on the real serial library, with pseudo-terminals where the
// card's COM ports would be: port changes, the log file and the one command
// the dialog sends.
#include "dialog_harness.h"

#include "board_link.h"
#include "fakes.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "pty_pair.h"
#include "serial_library.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

using dialogtest::Find;

namespace {

SerialLibrary &RealLibrary()
{
    static LoadedLibrary loaded = [] {
        LoadedLibrary l = LoadSerialLibrary();
        if (l.error.empty())
            l.library->Run(); // the reader that feeds the log
        return l;
    }();
    if (!loaded.error.empty())
        qFatal("%s", loaded.error.c_str());
    return *loaded.library;
}

// How many descriptors of this process have `device` open.
int OpenCount(const std::string &device)
{
    int n = 0;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == device)
            ++n;
    }
    return n;
}

QByteArray FileBytes(const std::filesystem::path &path)
{
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// COM1 and COM3 on pseudo-terminals, the current folder a fresh one, and
// the library in the state start-up leaves: COM1 open, logging to
// "TovrikLog.txt".
struct LineRig {
    testsupport::DeviceDir devices;
    testsupport::TempDir workDir;
    testsupport::PtyPair com1;
    testsupport::PtyPair com3;
    testsupport::FakeMessageBoxes boxes;
    SerialLibrary &library = RealLibrary();
    BoardLink link {library};
    GatewayCommands commands {link};
    dialogtest::FakeMainWindow main {link};
    QString previousDir = QDir::currentPath();

    explicit LineRig(bool mapCom3 = true)
    {
        QDir::setCurrent(QString::fromStdString(workDir.Path().string()));
        devices.Map(1, com1.DevicePath());
        // A link to nothing rather than no link, which would mean the
        // machine's own /dev/ttyS2, present on some machines.
        devices.Map(3, mapCom3 ? com3.DevicePath() : (workDir.Path() / "unplugged").string());
        (void)link.SelectComPort(1);
        library.StartLogging("TovrikLog.txt");
    }
    ~LineRig()
    {
        delete main.dialog;
        dialogtest::FlushDeletes();
        // The library outlives the rig: leave it as a fresh one.
        library.CloseCommPort();
        library.StopLogging();
        QDir::setCurrent(previousDir);
    }

    Form2 *Open() { return dialogtest::OpenDialog(main, link, commands, boxes); }

    // Switches logging on to `name` through the dialog, as a technician does.
    void LogTo(const QString &name)
    {
        Form2 *dlg = Open();
        auto *box = Find<QCheckBox>(dlg, "WantLogging");
        if (!box->isChecked())
            QTest::mouseClick(box, Qt::LeftButton);
        auto *edit = Find<QLineEdit>(dlg, "FileName");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, name);
        QTest::mouseClick(Find<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
    }
};

} // namespace

class Form2LineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        dialogtest::QuietPlatformWarnings();
        RealLibrary();
    }

    void switchedOnWithProposedName()
    {
        LineRig rig;
        rig.library.StopLogging();
        Form2 *dlg = rig.Open();
        auto *box = Find<QCheckBox>(dlg, "WantLogging");
        auto *name = Find<QLineEdit>(dlg, "FileName");
        QVERIFY(!box->isChecked());
        QCOMPARE(name->text(), QStringLiteral("TovrikLog1.txt"));
        QVERIFY(!name->isEnabled());
        QVERIFY(!Find<QPushButton>(dlg, "LogConfig")->isEnabled());

        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
        QVERIFY(rig.library.IsLogging());
        QCOMPARE(rig.library.GetLogFileName(), std::optional<std::string>("TovrikLog1.txt"));
        QVERIFY(std::filesystem::exists(rig.workDir.Path() / "TovrikLog1.txt"));
        QCOMPARE(rig.main.captions, std::vector<QString>({QStringLiteral("Logging To File TovrikLog1.txt")}));
        QVERIFY(rig.boxes.shown.empty());
    }

    void portChange_data()
    {
        QTest::addColumn<bool>("com3Mapped");
        QTest::newRow("COM3 on a pseudo-terminal") << true;
        QTest::newRow("COM3 leads nowhere") << false;
    }

    void portChange()
    {
        QFETCH(bool, com3Mapped);
        LineRig rig(com3Mapped);
        QVERIFY(rig.link.IsPortOpen());
        QCOMPARE(OpenCount(rig.com1.DevicePath()), 2); // the pair's own hold and the library's

        Form2 *dlg = rig.Open();
        // Each entry tells which device it is.
        auto *combo = Find<DropDownCombo>(dlg, "ComPortCombo");
        const auto tip = [combo](int index) { return combo->itemData(index, Qt::ToolTipRole).toString().toStdString(); };
        QCOMPARE(tip(0), rig.com1.DevicePath());
        QCOMPARE(tip(2), com3Mapped ? rig.com3.DevicePath() : std::string("not connected"));
        dialogtest::PickEntry(combo, 2);
        QTest::mouseClick(Find<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);

        QCOMPARE(OpenCount(rig.com1.DevicePath()), 1);
        QCOMPARE(rig.link.GetComPort(), std::int16_t(3));
        QCOMPARE(rig.link.IsPortOpen(), com3Mapped);
        QCOMPARE(rig.main.checksSawOpen, std::vector<bool>({com3Mapped}));
        if (com3Mapped) {
            QVERIFY(rig.boxes.shown.empty());
            QCOMPARE(OpenCount(rig.com3.DevicePath()), 2);
            // What is sent now goes to COM3 alone.
            QVERIFY(rig.commands.SendLines({gateway::LogConfigLine()}));
            QCOMPARE(rig.com3.ReadExactly(4), std::string("%CL\r"));
            QCOMPARE(rig.com1.ReadUntilQuiet(std::chrono::milliseconds(100)), std::string());
        } else {
            QCOMPARE(rig.boxes.shown, std::vector<std::string>({"Failed to Open Com3"}));
            // The library's reason, so that the technician learns why.
            QVERIFY2(rig.boxes.details.at(0).starts_with("cannot open COM3"), rig.boxes.details.at(0).c_str());
        }
    }

    void logConfig_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::newRow("port open") << true;
        QTest::newRow("port closed") << false;
    }

    void logConfig()
    {
        QFETCH(bool, portOpen);
        LineRig rig(false);
        if (!portOpen) {
            (void)rig.link.SelectComPort(3); // COM1 closed, COM3 absent
            rig.boxes.shown.clear();
        }
        Form2 *dlg = rig.Open();
        QTest::mouseClick(Find<QPushButton>(dlg, "LogConfig"), Qt::LeftButton);

        const std::string expected = portOpen ? "%CL\r" : "";
        QCOMPARE(rig.com1.ReadExactly(expected.size(), std::chrono::seconds(2)), expected);
        QCOMPARE(rig.com1.ReadUntilQuiet(std::chrono::milliseconds(150)), std::string());
        QVERIFY(rig.boxes.shown.empty());
        QVERIFY(dlg->isVisible());
        QVERIFY(rig.main.captions.empty());
        QVERIFY(rig.main.checksSawOpen.empty());
    }

    // The card's answer to "%CL" goes into the file named in the dialog,
    // after what the file held.
    void cardOutputLandsInLog()
    {
        LineRig rig;
        const auto file = rig.workDir.Path() / "card run.log";
        std::ofstream(file, std::ios::binary) << "earlier run\n";
        rig.library.StopLogging();
        rig.LogTo(QStringLiteral("card run.log"));
        QCOMPARE(rig.main.captions, std::vector<QString>({QStringLiteral("Logging To File card run.log")}));
        dialogtest::FlushDeletes();

        Form2 *dlg = rig.Open();
        QCOMPARE(Find<QLineEdit>(dlg, "FileName")->text(), QStringLiteral("card run.log"));
        QTest::mouseClick(Find<QPushButton>(dlg, "LogConfig"), Qt::LeftButton);
        QCOMPARE(rig.com1.ReadExactly(4), std::string("%CL\r"));
        const std::string answer = "Build 2.4.1\r\nIP 10.0.0.5\r\n\x01\xff";
        rig.com1.Write(answer);
        QTRY_COMPARE_WITH_TIMEOUT(FileBytes(file), QByteArray("earlier run\n") + QByteArray::fromStdString(answer),
                                  5000);
    }

    // However long the name the library logs to, the dialog shows it.
    void longLogNameIsShown()
    {
        LineRig rig;
        const std::string folder(200, 'd');
        std::filesystem::create_directory(rig.workDir.Path() / folder);
        const QString name = QString::fromStdString(folder + "/" + std::string(100, 'f') + ".log");
        rig.library.StopLogging();
        rig.LogTo(name);
        QVERIFY(rig.library.IsLogging());
        dialogtest::FlushDeletes();
        QCOMPARE(Find<QLineEdit>(rig.Open(), "FileName")->text(), name);
    }

    // The library leaves logging off when the file cannot be opened; the
    // status line must not claim otherwise.
    void unopenableName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a folder") << "logs";
        QTest::newRow("under a regular file") << "plain.txt/run.log";
        QTest::newRow("in a missing folder") << "missing/run.log";
    }

    void unopenableName()
    {
        QFETCH(QString, name);
        LineRig rig;
        std::filesystem::create_directory(rig.workDir.Path() / "logs");
        std::ofstream(rig.workDir.Path() / "plain.txt") << "x";
        rig.library.StopLogging();

        rig.LogTo(name);
        QVERIFY(!rig.library.IsLogging());
        QCOMPARE(rig.boxes.shown, std::vector<std::string>({"Failed to open log file " + name.toStdString()}));
        QVERIFY(rig.main.captions.empty());
        QCOMPARE(rig.main.checksSawOpen, std::vector<bool>({true}));
        dialogtest::FlushDeletes();
        QVERIFY(!rig.main.dialog);
    }
};

QTEST_MAIN(Form2LineTest)
#include "form2_line_test.moc"
