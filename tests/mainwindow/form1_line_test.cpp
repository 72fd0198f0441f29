// The main window on the real serial library, with a pseudo-terminal where
// the card would be: the bytes that arrive, and a line that dies.
#include "board_link.h"
#include "card_configurations.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "pty_pair.h"
#include "real_library.h"
#include "serial_library.h"
#include "ticker.h"
#include "window_driver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

using testsupport::RealLibrary;

namespace {

const char *kExitAfterSend = "All configuration data has been sent to the gateway card. Do you now want to exit ?";

struct LineRig {
    testsupport::DeviceDir devices;
    testsupport::TempDir workDir;
    testsupport::PtyPair card;
    testsupport::FakeMessageBoxes boxes;
    QtTicker timer {250};
    QtTicker lineWatch {1000};
    BoardLink link {RealLibrary()};
    GatewayCommands commands {link};
    std::unique_ptr<Form1> form;
    QString previousDir = QDir::currentPath();

    LineRig()
    {
        QDir::setCurrent(QString::fromStdString(workDir.Path().string())); // the log file lands here
        devices.Map(1, card.DevicePath());
        form = std::make_unique<Form1>(link, commands, boxes, timer, lineWatch);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the main window was not exposed");
    }
    ~LineRig()
    {
        form->close();
        RealLibrary().StopLogging();
        QDir::setCurrent(previousDir);
    }
};

} // namespace

class TestForm1Line : public QObject {
    Q_OBJECT
private slots:
    void typicalConfigurationArrivesByteForByte();
    void lineDyingBeforeTheSendReportsFailure();
};

void TestForm1Line::typicalConfigurationArrivesByteForByte()
{
    LineRig r;
    QVERIFY(r.link.IsPortOpen());
    driver::Click(r.form.get(), "Option3");
    driver::Type(r.form.get(), "IP1", "10.0.0.5");
    driver::Type(r.form.get(), "Sub1", "255.255.255.0");
    driver::Type(r.form.get(), "gw1", "10.0.0.1");
    r.boxes.answers = {true, false};
    driver::Click(r.form.get(), "Command1");

    const std::string expected = testsupport::WalkThrough().Bytes();
    QCOMPARE(r.card.ReadExactly(expected.size()), expected);
    QTRY_COMPARE_WITH_TIMEOUT(driver::Status(r.form.get()), QString("Data Sent"), 3000);
    QTest::qWait(600); // a few more ticks' worth: the question must not come again
    QCOMPARE(std::count(r.boxes.shown.begin(), r.boxes.shown.end(), std::string(kExitAfterSend)), 1);
    QVERIFY(!r.timer.Enabled());
    QCOMPARE(r.card.ReadUntilQuiet(std::chrono::milliseconds(100)), std::string());
}

void TestForm1Line::lineDyingBeforeTheSendReportsFailure()
{
    LineRig r;
    QVERIFY(r.link.IsPortOpen());
    // The card goes away while the technician reads the question.
    r.boxes.onShow = [&](const std::string &text) {
        if (text.rfind("Do you want to send", 0) == 0)
            r.card.HangUp();
    };
    r.boxes.answers = {true};
    driver::Click(r.form.get(), "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(driver::Status(r.form.get()), QString("Sending failed"), 3000);
    QTest::qWait(300);
    QCOMPARE(std::count(r.boxes.shown.begin(), r.boxes.shown.end(), std::string(kExitAfterSend)), 0);
    // Whether the first byte is refused or the dead line is noticed before
    // it, at most one box tells of it.
    QVERIFY(std::count(r.boxes.shown.begin(), r.boxes.shown.end(), std::string("Error writing to Gateway")) <= 1);
    QVERIFY(!r.timer.Enabled());
    // The port on the dead line is closed: nothing can be sent to it.
    QTRY_VERIFY_WITH_TIMEOUT(!driver::Find(r.form.get(), "Command1")->isEnabled(), 3000);
    QVERIFY(!driver::Find(r.form.get(), "Command3")->isEnabled());
    QVERIFY(!r.link.IsPortOpen());
}

QTEST_MAIN(TestForm1Line)
#include "form1_line_test.moc"
