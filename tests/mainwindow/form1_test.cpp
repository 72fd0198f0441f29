// The real main window driven as a technician drives it: clicks, typing,
// questions answered, timer ticks delivered one by one.
#include "card_configurations.h"
#include "configuration.h"
#include "form1_fixture.h"
#include "profile_answers.h"
#include "tovrik_version.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <functional>
#include <utility>

using testsupport::FakeMessageBoxes;

enum class WhileSending { DialogPortFails, DialogLogFails, Delete };
enum class LogCheck { StartUp, NoReader, EndOfSend, DialogOpens, SwitchedOff, LineWatch };
Q_DECLARE_METATYPE(WhileSending)
Q_DECLARE_METATYPE(LogCheck)

namespace {

const char *const kOptionButtons[] = {"Option1", "Option2", "Option3", "DHCPYes", "DHCPNo",
                                      "NBXYes",  "NBXNo",   "RemoteYes", "RemoteNo"};

const QStringList kOwnIP = {"DHCP2", "IP1", "IP2", "IP3", "IP4", "Sub1", "Sub2", "Sub3", "Sub4", "gw1",
                            "gw2", "gw3", "gw4", "IPAddress", "Subnet", "Gateway"};
const QStringList kDHCPQuestion = {"DHCP", "DHCP1", "DHCPYes", "DHCPNo"};
const QStringList kNBXIP = {"NBX1", "NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4"};
const QStringList kNBXMac = {"Mac1", "Mac2", "Mac3", "Mac4", "Mac5", "Mac6", "MacAddr"};
const QStringList kRemoteQuestion = {"NBXRemoteLabel", "RemoteYes", "RemoteNo"};

const char *kConfigureQuestion = "Do you want to send your IP configuration data to the gateway card and restart it?";
const char *kExitAfterSend = "All configuration data has been sent to the gateway card. Do you now want to exit ?";

struct Sections {
    bool dhcp, ownIP, remote, nbxIP, mac;
};

// Which sections the current selections call for.
Sections Expected(const Form1Rig &r)
{
    const bool nbxYes = r.Checked("NBXYes"), remoteYes = r.Checked("RemoteYes"), dhcpNo = r.Checked("DHCPNo");
    if (r.Checked("Option1"))
        return {false, false, false, false, nbxYes};
    if (r.Checked("Option2") && remoteYes)
        return {true, dhcpNo, true, true, true};
    if (r.Checked("Option2"))
        return {false, false, true, nbxYes, nbxYes};
    const bool nbx = nbxYes || remoteYes;
    return {true, dhcpNo, true, nbx, nbx};
}

QString SectionMismatch(const Form1Rig &r)
{
    const Sections e = Expected(r);
    const std::pair<const QStringList *, bool> groups[] = {
        {&kDHCPQuestion, e.dhcp}, {&kOwnIP, e.ownIP}, {&kRemoteQuestion, e.remote}, {&kNBXIP, e.nbxIP}, {&kNBXMac, e.mac}};
    for (const auto &[names, want] : groups)
        for (const auto &name : *names)
            if (r.EnabledProperty(name.toLatin1().constData()) != want)
                return name + (want ? " should be enabled" : " should be disabled");
    return {};
}

// What the window holds: the selected answers and ticked boxes, each row
// with a text box by box, and a chosen country.
QString Filled(const Form1Rig &r)
{
    QStringList out;
    for (const char *name : kOptionButtons)
        if (r.Checked(name))
            out << name;
    for (const char *name : {"Check1", "Check2"})
        if (r.Checked(name))
            out << name;
    const std::pair<const char *, int> rows[] = {{"IP", 4}, {"Sub", 4}, {"gw", 4}, {"NBXIP", 4}, {"Mac", 6}};
    for (const auto &[row, n] : rows) {
        QStringList texts;
        for (int i = 1; i <= n; ++i)
            texts << r.Box(qPrintable(QString::fromLatin1(row) + QString::number(i)))->text();
        if (!texts.join(QString()).isEmpty())
            out << QString::fromLatin1(row) + ' ' + texts.join('|');
    }
    if (const QString country = r.Get<QComboBox>("CountryCode")->currentText(); country != kNoCountry)
        out << country;
    return out.join(", ");
}

// Every stop the accessibility bus offers the focus, with the parts of a
// control: a combo box's text field, and its list, which lives in a popup
// window off the focus chain.
void CollectFocusable(QAccessibleInterface *node, QList<QAccessibleInterface *> &out)
{
    if (node->state().focusable)
        out << node;
    for (int i = 0; i < node->childCount(); ++i)
        CollectFocusable(node->child(i), out);
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void startUpWithCom1Missing();
    void startUpWithCom1Open();
    void windowGeometryAndFocusOrder();
    void everyFocusableControlIsNamed_data();
    void everyFocusableControlIsNamed();
    void sectionsFollowLongRandomClickWalks();
    void readinessFollowsEntriesAndPort();
    void exitAnsweredNoChangesNothing();
    void exitAnsweredYesClosesDialogWindowAndPort();
    void closeButtonAsksNothingAndClosesPort();
    void versionNamesTheVersion();
    void graphicalButtonsKeepTheirColourUnderEveryStyle();

    void typingFillsAddressRows();
    void separatorRules_data();
    void separatorRules();
    void letterInsideBoxCutsTheRest();
    void nbxBoxesTakeAFourthDigit();

    void typicalConfigurationSendsTheOverviewLines();
    void configureAnsweredNoSendsNothing();
    void configureWithPortClosedReportsFailure();
    void failedWriteStopsTheSequence();
    void malformedAddressIsRefused_data();
    void malformedAddressIsRefused();
    void progressDotsOverThirtyTicks();
    void exitQuestionComesOncePerSend();
    void endOfSendRechecksConfigure();
    void deleteWithPortClosedAsksNothing();
    void deleteSendsClearLine();
    void clearRestoresTheStartingPoint();
    void clearFromABoxOfARowItCloses_data();
    void clearFromABoxOfARowItCloses();
    void dialogOkMovesThePortAndTheButtonsFollow();
    void advancedAgainKeepsTheDialogsEdits();

    void endOfSendWaitsForTheOpenBox_data();
    void endOfSendWaitsForTheOpenBox();
    void deleteChecksAgainAfterItsQuestion_data();
    void deleteChecksAgainAfterItsQuestion();
    void lostCardIsAwaitedAndReopened();
    void portChosenWhileWaiting_data();
    void portChosenWhileWaiting();
    void samePortChosenWhileItsCardIsAwaited();
    void failedSendsSaySo();
    void typedCountryGoesOutAsTyped_data();
    void typedCountryGoesOutAsTyped();
    void logNameIsShownAsPlainText();
    void loggingThatStoppedIsNotClaimed_data();
    void loggingThatStoppedIsNotClaimed();
    void staleNBXAddressUnderEthernet_data();
    void staleNBXAddressUnderEthernet();

    void filledFromAProfile_data();
    void filledFromAProfile();
    void profileNotesWaitForAnOpenBox();
};

void TestForm1::startUpWithCom1Missing()
{
    Form1Rig r(false);
    QCOMPARE(r.boxes.shown, std::vector<std::string> {"Failed to Open Com1"});
    QCOMPARE(r.library.calls.at(0), std::string("Run"));
    QCOMPARE(r.library.calls.at(1), std::string("OpenCommPort 1"));
    QCOMPARE(r.library.Count("StartLogging TovrikLog.txt"), 1);
    QVERIFY(r.Checked("Option1"));
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(!r.Get("Command3")->isEnabled());
    QVERIFY(r.form->isVisible());
}

void TestForm1::startUpWithCom1Open()
{
    Form1Rig r;
    QVERIFY(r.boxes.shown.empty());
    QCOMPARE(r.library.Count("ConfigureOpenComPort"), 1);
    // "Ethernet" with No to both NBX questions needs no address at all.
    QVERIFY(r.Get("Command1")->isEnabled());
    QVERIFY(r.Get("Command3")->isEnabled());
    // The remote question is created enabled but start-up disables it.
    for (const auto &name : kRemoteQuestion)
        QVERIFY(!r.EnabledProperty(name.toLatin1().constData()));
    QVERIFY(r.Checked("RemoteNo"));
    QCOMPARE(r.Get<QComboBox>("CountryCode")->currentText(), QString("  <Select Country>"));
    QVERIFY(r.Get<QCheckBox>("Check1")->isChecked());
    QVERIFY(!r.Get<QCheckBox>("Check2")->isChecked());
    QVERIFY(r.Status().isEmpty());
    QVERIFY(!r.timer.Enabled());
    QCOMPARE(QApplication::focusWidget(), r.Get("Option1"));
}

void TestForm1::windowGeometryAndFocusOrder()
{
    Form1Rig r;
    QCOMPARE(r.form->windowTitle(), QString("Brenlock Configuration"));
    QCOMPARE(r.form->centralWidget()->size(), QSize(733, 505));
    QCOMPARE(r.form->centralWidget()->y(), r.form->menuBar()->height());
    QCOMPARE(r.Get("Command1")->geometry(), QRect(576, 320, 129, 73));
    QCOMPARE(r.Get("Mac6")->parentWidget()->objectName(), QString("Frame3"));
    QCOMPARE(r.Get("Mac6")->geometry(), QRect(248, 96, 25, 19));
    QCOMPARE(r.Box("NBXIP2")->maxLength(), 4);
    QCOMPARE(r.Box("NBXIP4")->maxLength(), 3);
    QCOMPARE(r.Box("Mac1")->maxLength(), 2);

    // Enable every section so that the whole focus chain can be walked.
    r.Click("Option3");
    r.Click("NBXYes");
    r.Click("RemoteYes");
    const QStringList expected = {"Option1", "Option2", "Option3", "DHCPNo", "DHCPYes", "IP1", "IP2", "IP3", "IP4",
                                  "Sub1", "Sub2", "Sub3", "Sub4", "gw1", "gw2", "gw3", "gw4", "NBXYes", "NBXNo",
                                  "RemoteYes", "RemoteNo", "NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4", "Mac1", "Mac2",
                                  "Mac3", "Mac4", "Mac5", "Mac6", "Clear", "Advanced", "Command1", "Command2",
                                  "CountryCode", "Command3", "Check1", "Check2"};
    QWidget *w = r.Get("Option1");
    for (int i = 1; i < expected.size(); ++i) {
        w = w->nextInFocusChain();
        // Qt keeps Tab on the selected button of a group only, so walk the chain itself.
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() || !expected.contains(w->objectName()))
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), expected[i]);
    }
}

void TestForm1::everyFocusableControlIsNamed_data()
{
    QTest::addColumn<bool>("dialog");
    QTest::newRow("main window") << false;
    QTest::newRow("logging dialog") << true;
}

void TestForm1::everyFocusableControlIsNamed()
{
    QFETCH(bool, dialog);
    Form1Rig r;
    if (dialog)
        r.Click("Advanced");
    QWidget *window = dialog ? static_cast<QWidget *>(r.form->Dialog()) : r.form.get();
    QList<QAccessibleInterface *> stops;
    CollectFocusable(QAccessible::queryAccessibleInterface(window), stops);
    QStringList unnamed, names;
    for (auto *stop : stops) {
        const QString name = stop->text(QAccessible::Name).trimmed();
        const QObject *control = stop->object(); // none for an entry of a list
        if (name.isEmpty())
            unnamed << (control ? control->objectName() + " " + control->metaObject()->className() : "an entry");
        else if (control && !control->objectName().isEmpty())
            names << name;
    }
    QVERIFY2(unnamed.isEmpty(),
             qPrintable(QString("%1 of %2: %3").arg(unnamed.size()).arg(stops.size()).arg(unnamed.join(", "))));
    // Controls under one name cannot be told apart by ear.
    QCOMPARE(names.removeDuplicates(), 0);

    // Alt and a letter press one control only.
    QStringList captions;
    for (const auto *button : window->findChildren<QAbstractButton *>())
        captions << button->text();
    for (const auto *frame : window->findChildren<QGroupBox *>())
        captions << frame->title();
    QList<QKeySequence> taken;
    for (const QString &caption : captions) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        QVERIFY2(key.isEmpty() || !taken.contains(key), qPrintable(caption));
        taken << key;
    }
}

void TestForm1::sectionsFollowLongRandomClickWalks()
{
    QRandomGenerator rng(20261207);
    for (int walk = 0; walk < 20; ++walk) {
        Form1Rig r;
        QString trail;
        for (int step = 0; step < 150; ++step) {
            const char *name = kOptionButtons[rng.bounded(9)];
            r.Click(name);
            trail = QString(name);
            const QString mismatch = SectionMismatch(r);
            QVERIFY2(mismatch.isEmpty(), qPrintable(QString("walk %1 step %2 after %3: %4").arg(walk).arg(step).arg(trail, mismatch)));
        }
    }
}

void TestForm1::readinessFollowsEntriesAndPort()
{
    Form1Rig r;
    r.Click("Option3");
    QVERIFY(!r.Get("Command1")->isEnabled()); // own IP required
    r.Type("IP1", "10.0.0.5");
    r.Type("Sub1", "255.255.255.0");
    QVERIFY(!r.Get("Command1")->isEnabled());
    r.Type("gw1", "10.0.0.1");
    QVERIFY(r.Get("Command1")->isEnabled());
    // Emptying one box disables Configure at once.
    r.Box("Sub3")->setFocus();
    QTest::keyClick(r.Box("Sub3"), Qt::Key_Backspace);
    QTest::keyClick(r.Box("Sub3"), Qt::Key_Backspace);
    QTest::keyClick(r.Box("Sub3"), Qt::Key_Backspace);
    QVERIFY(r.Box("Sub3")->text().isEmpty());
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(r.Get("Command3")->isEnabled());
    // DHCP Yes under "Standard IP" needs no own IP.
    r.Click("DHCPYes");
    QVERIFY(r.Get("Command1")->isEnabled());
    // Country and audio never change the buttons.
    (void)r.link.SelectComPort(2); // closes COM1; COM2 does not open
    r.Click("Check2");
    QVERIFY(r.Get("Command1")->isEnabled());
    r.Click("DHCPNo");
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(!r.Get("Command3")->isEnabled());
}

void TestForm1::exitAnsweredNoChangesNothing()
{
    Form1Rig r;
    const auto calls = r.library.calls;
    r.boxes.answers = {false};
    r.Click("Command2");
    QCOMPARE(r.boxes.shown.back(), std::string("Are you sure that you want to exit?"));
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.library.calls, calls);
}

void TestForm1::exitAnsweredYesClosesDialogWindowAndPort()
{
    Form1Rig r;
    r.Click("Advanced");
    QPointer<QDialog> dialog = r.form->Dialog();
    QVERIFY(dialog && dialog->isVisible());
    const auto calls = r.library.calls.size();
    r.boxes.answers = {true};
    r.Click("Command2");
    QVERIFY(!r.form->isVisible());
    QTRY_VERIFY(!dialog); // closed at once, deleted once its handlers have returned
    // The dialog applied nothing: the only call is the port's close.
    QCOMPARE(r.library.calls.size(), calls + 1);
    QCOMPARE(r.library.calls.back(), std::string("CloseCommPort"));
}

void TestForm1::closeButtonAsksNothingAndClosesPort()
{
    Form1Rig r;
    r.Click("Advanced");
    QPointer<QDialog> dialog = r.form->Dialog();
    QVERIFY(r.form->close());
    QVERIFY(r.boxes.shown.empty());
    QTRY_VERIFY(!dialog);
    QCOMPARE(r.library.Count("CloseCommPort"), 1);
}

void TestForm1::versionNamesTheVersion()
{
    Form1Rig r;
    auto *menu = r.form->menuBar()->actions().at(0);
    QCOMPARE(menu->text(), QString("About Tovrik"));
    QCOMPARE(menu->menu()->actions().at(0)->text(), QString("Version"));
    menu->menu()->actions().at(0)->trigger();
    QCOMPARE(r.boxes.shown.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(r.boxes.shown[0]).endsWith("Version " TOVRIK_VERSION));
}

void TestForm1::graphicalButtonsKeepTheirColourUnderEveryStyle()
{
    const QString original = QApplication::style()->name();
    for (const QString &key : QStyleFactory::keys()) {
        QApplication::setStyle(key);
        Form1Rig r;
        for (const char *name : {"Command1", "Command3"}) {
            const QImage image = r.Get(name)->grab().toImage();
            // Most of the face shows the colour; the caption and the bevel do not.
            int pink = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    pink += qAbs(c.red() - 255) <= 8 && qAbs(c.green() - 128) <= 8 && qAbs(c.blue() - 128) <= 8;
                }
            QVERIFY2(pink * 2 > image.width() * image.height(),
                     qPrintable(QString("%1 under %2: %3 of %4 pixels").arg(name, key).arg(pink).arg(image.width() * image.height())));
        }
    }
    QApplication::setStyle(original);
}

void TestForm1::typingFillsAddressRows()
{
    Form1Rig r;
    r.Click("Option3");
    r.Type("IP1", "192.168.0.10");
    QCOMPARE(r.Box("IP1")->text(), QString("192"));
    QCOMPARE(r.Box("IP2")->text(), QString("168"));
    QCOMPARE(r.Box("IP3")->text(), QString("0"));
    QCOMPARE(r.Box("IP4")->text(), QString("10"));
    QCOMPARE(QApplication::focusWidget(), r.Get("IP4"));

    r.Click("NBXYes");
    r.Type("Mac1", "00:1A:2b:3C:4d:5E");
    const QStringList mac = {"00", "1a", "2b", "3c", "4d", "5e"};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(r.Box(qPrintable(QString("Mac%1").arg(i + 1)))->text(), mac[i]);
    QCOMPARE(QApplication::focusWidget(), r.Get("Mac6"));
}

void TestForm1::separatorRules_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    QTest::newRow("dot in empty first box moves on") << "IP1" << "." << "" << "IP2";
    QTest::newRow("dot in empty middle box is swallowed") << "IP3" << "." << "" << "IP3";
    QTest::newRow("second hex digit advances") << "Mac5" << "fF" << "ff" << "Mac6";
}

void TestForm1::separatorRules()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, focus);
    Form1Rig r;
    r.Click("Option3");
    r.Click("NBXYes");
    r.Type(qPrintable(box), typed);
    QCOMPARE(r.Box(qPrintable(box))->text(), text);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestForm1::letterInsideBoxCutsTheRest()
{
    Form1Rig r;
    r.Click("Option3");
    r.Type("IP4", "12");
    auto *ip4 = r.Box("IP4");
    ip4->setCursorPosition(1);
    QTest::keyClick(ip4, 'x');
    QCOMPARE(ip4->text(), QString("1"));
    QCOMPARE(ip4->cursorPosition(), 1);

    // A "." between two digits stays, and the length of 3 moves the focus on.
    r.Type("IP1", "12");
    r.Box("IP1")->setCursorPosition(1);
    QTest::keyClick(r.Box("IP1"), Qt::Key_Period);
    QCOMPARE(r.Box("IP1")->text(), QString("1.2"));
    QCOMPARE(QApplication::focusWidget(), r.Get("IP2"));
}

void TestForm1::nbxBoxesTakeAFourthDigit()
{
    Form1Rig r;
    r.Click("Option3");
    r.Click("NBXYes");
    r.Type("NBXIP2", "123");
    QCOMPARE(QApplication::focusWidget(), r.Get("NBXIP3"));
    r.Type("NBXIP2", "4");
    QCOMPARE(r.Box("NBXIP2")->text(), QString("1234"));
    // A deletion back to three digits moves the focus on again.
    r.Box("NBXIP2")->setFocus();
    QTest::keyClick(r.Box("NBXIP2"), Qt::Key_Backspace);
    QCOMPARE(r.Box("NBXIP2")->text(), QString("123"));
    QCOMPARE(QApplication::focusWidget(), r.Get("NBXIP3"));
}

void TestForm1::typicalConfigurationSendsTheOverviewLines()
{
    Form1Rig r;
    r.Click("Option3");
    r.Type("IP1", "10.0.0.5");
    r.Type("Sub1", "255.255.255.0");
    r.Type("gw1", "10.0.0.1");
    r.boxes.answers = {true, false};
    r.library.sendingAnswers = {true, true};
    r.Click("Command1");
    QCOMPARE(r.boxes.shown.at(0), std::string(kConfigureQuestion));
    QCOMPARE(r.library.written, testsupport::WalkThrough().Bytes());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(r.timer.Enabled());
    QVERIFY(r.timer.Tick());
    QCOMPARE(r.Status(), QString("Sending Data . "));
    QVERIFY(!r.Get("Command1")->isEnabled() && !r.Get("Command2")->isEnabled());
    QVERIFY(!r.Get("Advanced")->isEnabled() && !r.Get("Clear")->isEnabled());
    QVERIFY(r.Get("Command3")->isEnabled());
    QVERIFY(r.timer.Tick());
    QVERIFY(r.timer.Tick());
    QCOMPARE(r.Status(), QString("Data Sent"));
    QCOMPARE(r.boxes.shown.back(), std::string(kExitAfterSend));
    QVERIFY(!r.timer.Enabled()); // answered No
    QVERIFY(r.form->isVisible());
    QVERIFY(r.Get("Command2")->isEnabled() && r.Get("Command1")->isEnabled());
}

void TestForm1::configureAnsweredNoSendsNothing()
{
    Form1Rig r;
    r.boxes.answers = {false};
    r.Click("Command1");
    QVERIFY(r.library.written.empty());
    QVERIFY(!r.timer.Enabled());
    QCOMPARE(r.form->ProgressTicks(), 0);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestForm1::configureWithPortClosedReportsFailure()
{
    Form1Rig r;
    r.library.openablePorts.clear();
    (void)r.link.SelectComPort(2);
    // Reach the button although the readiness check would disable it.
    r.boxes.answers = {true};
    r.form->OnConfigureClicked();
    QVERIFY(r.library.written.empty());
    QVERIFY(!r.timer.Enabled());
    QCOMPARE(r.Status(), QString("Sending failed"));
}

void TestForm1::failedWriteStopsTheSequence()
{
    Form1Rig r;
    r.Click("NBXYes");
    r.Click("Mac1");
    r.Type("Mac1", "0102030405");
    r.Type("Mac6", "06");
    r.library.failWriteAt = 12; // inside "%CP0\r"
    r.boxes.answers = {true};
    r.library.sendingAnswers = {true};
    r.Click("Command1");
    QCOMPARE(r.library.writeCalls, 13);
    QCOMPARE(r.library.written, std::string("%CB\r%CR0\r%CP"));
    QCOMPARE(r.boxes.shown, (std::vector<std::string> {kConfigureQuestion, "Error writing to Gateway"}));
    QVERIFY(r.timer.Tick());
    QVERIFY(r.timer.Tick());
    QCOMPARE(r.Status(), QString("Sending failed"));
    QCOMPARE(r.boxes.shown.size(), std::size_t(2)); // no exit question
    QVERIFY(!r.timer.Enabled());
}

void TestForm1::malformedAddressIsRefused_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("emptied");
    // "box=keys": the focus put in the box, then the keys; "box@n=keys" with the caret at n.
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("message");
    const QStringList ipRow = {"IP1", "IP2", "IP3", "IP4"};
    QTest::newRow("octet above 255") << QStringList {"Option3"} << ipRow << QStringList {"IP1=999.0.0.5"}
                                     << "Not a valid IP Address: 999.0.0.5";
    QTest::newRow("five-part address") << QStringList {"Option3"} << ipRow << QStringList {"IP1=12", "IP1@1=.", "IP2=0.0.1"}
                                       << "Not a valid IP Address: 1.2.0.0.1";
    QTest::newRow("four-digit NBX octet") << QStringList {"Option3", "NBXYes"}
                                          << QStringList {"NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4"}
                                          << QStringList {"NBXIP1=123", "NBXIP1=4", "NBXIP2=0.0.2"}
                                          << "Not a valid NBX IP Address: 1234.0.0.2";
    QTest::newRow("short MAC") << QStringList {"Option1", "NBXYes"} << QStringList {"Mac6"} << QStringList {}
                               << "Not a valid NBX MAC Address: 01:02:03:04:05:";
}

void TestForm1::malformedAddressIsRefused()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, emptied);
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    Form1Rig r;
    for (const auto &c : clicks)
        r.Click(qPrintable(c));
    // Fill every required box with something valid, then spoil one row.
    for (const char *row : {"IP1", "Sub1", "gw1"})
        r.Type(row, "10.0.0.1");
    if (clicks.contains("NBXYes")) {
        r.Type("NBXIP1", "10.0.0.2");
        r.Type("Mac1", "010203040506");
    }
    for (const auto &name : emptied)
        r.Box(qPrintable(name))->clear();
    for (const auto &entry : typed) {
        const QString target = entry.section('=', 0, 0);
        const QString box = target.section('@', 0, 0);
        r.Box(qPrintable(box))->setFocus();
        if (target.contains('@'))
            r.Box(qPrintable(box))->setCursorPosition(target.section('@', 1).toInt());
        r.TypeHere(entry.section('=', 1));
    }
    if (typed.isEmpty()) // an emptied box: reach the button all the same
        r.form->OnConfigureClicked();
    else
        r.Click("Command1");
    QStringList shown;
    for (const auto &s : r.boxes.shown)
        shown << QString::fromStdString(s);
    QCOMPARE(shown, QStringList {message});
    QVERIFY(r.library.written.empty());
    QVERIFY(!r.timer.Enabled());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestForm1::progressDotsOverThirtyTicks()
{
    Form1Rig r;
    r.boxes.answers = {true, false};
    r.library.sendingAnswers = std::deque<bool>(30, true);
    r.Click("Command1");
    QStringList seen;
    while (r.timer.Tick())
        seen << r.Status();
    QCOMPARE(seen.size(), 31);
    for (int i = 0; i < 24; ++i)
        QCOMPARE(seen[i], "Sending Data " + QString(". ").repeated(i + 1));
    QCOMPARE(seen[24], QString("Sending Data "));
    for (int i = 25; i < 30; ++i)
        QCOMPARE(seen[i], "Sending Data " + QString(". ").repeated(i - 24));
    QCOMPARE(seen[30], QString("Data Sent"));
}

void TestForm1::exitQuestionComesOncePerSend()
{
    Form1Rig r;
    int ticksInsideQuestion = 0;
    r.boxes.onShow = [&](const std::string &text) {
        if (text == kExitAfterSend && r.timer.Tick())
            ++ticksInsideQuestion;
    };
    r.boxes.answers = {true, false};
    r.Click("Command1");
    QVERIFY(r.timer.Tick());
    QVERIFY(!r.timer.Tick());
    QCOMPARE(ticksInsideQuestion, 0);
    QCOMPARE(std::count(r.boxes.shown.begin(), r.boxes.shown.end(), std::string(kExitAfterSend)), 1);

    // A second Configure while the first send still runs: no tick inside it,
    // and answered No, the first send's timer runs on.
    r.boxes.answers = {true, false};
    r.library.sendingAnswers = {true, true};
    r.Click("Command1");
    r.boxes.onShow = [&](const std::string &) {
        if (r.timer.Tick())
            ++ticksInsideQuestion;
    };
    r.boxes.answers = {false};
    r.form->OnConfigureClicked();
    QCOMPARE(ticksInsideQuestion, 0);
    QVERIFY(r.timer.Enabled());
    while (r.timer.Tick()) {
    }
    r.boxes.onShow = nullptr;

    // Yes closes the window and with it the port.
    r.boxes.answers = {true, true};
    r.Click("Command1");
    QVERIFY(r.timer.Tick());
    QVERIFY(!r.form->isVisible());
    QCOMPARE(r.library.calls.back(), std::string("CloseCommPort"));
}

void TestForm1::endOfSendRechecksConfigure()
{
    Form1Rig r;
    r.Click("Option3");
    r.Click("DHCPYes");
    r.boxes.answers = {true, false};
    r.library.sendingAnswers = {true};
    r.Click("Command1");
    QVERIFY(r.timer.Tick());
    // During the send the technician switches DHCP off; the own IP is empty.
    r.Click("DHCPNo");
    QVERIFY(r.timer.Tick());
    QCOMPARE(r.Status(), QString("Data Sent"));
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(r.Get("Command2")->isEnabled());
}

void TestForm1::deleteWithPortClosedAsksNothing()
{
    Form1Rig r(false);
    r.form->OnDeleteClicked();
    QCOMPARE(r.boxes.shown.size(), std::size_t(1)); // the start-up failure only
    QVERIFY(r.library.written.empty());
}

void TestForm1::deleteSendsClearLine()
{
    Form1Rig r;
    r.boxes.answers = {false};
    r.Click("Command3");
    QVERIFY(r.library.written.empty());
    r.boxes.answers = {true};
    r.Click("Command3");
    QCOMPARE(r.library.written, std::string("%CC\r"));
    QCOMPARE(r.boxes.shown.back(), std::string("Board should now be restarting"));

    // When the line cannot be written, the board is not said to restart.
    r.library.failWriteAt = 0;
    r.library.writeCalls = 0;
    r.boxes.answers = {true};
    r.boxes.shown.clear();
    r.Click("Command3");
    QCOMPARE(r.boxes.shown.back(), std::string("Error writing to Gateway"));
}

void TestForm1::clearRestoresTheStartingPoint()
{
    Form1Rig r;
    r.Click("Option2");
    r.Click("RemoteYes");
    r.Click("DHCPYes");
    r.Click("NBXYes");
    r.Type("NBXIP1", "10.1.1.1");
    r.Type("Mac1", "aabbccddeeff");
    r.Get<QComboBox>("CountryCode")->setCurrentIndex(1);
    r.Click("Check1");
    r.Click("Check2");
    r.Get<QLabel>("Status")->setText("Logging To File x");
    r.Click("Clear");
    QVERIFY(r.Checked("Option1") && r.Checked("DHCPNo") && r.Checked("NBXNo"));
    QVERIFY(r.Checked("RemoteYes")); // the remote group is left alone
    for (const auto *name : {"NBXIP1", "NBXIP4", "Mac1", "Mac6"})
        QVERIFY(r.Box(name)->text().isEmpty());
    QCOMPARE(r.Get<QComboBox>("CountryCode")->currentText(), QString("  <Select Country>"));
    QVERIFY(r.Get<QCheckBox>("Check1")->isChecked() && !r.Get<QCheckBox>("Check2")->isChecked());
    QCOMPARE(r.Status(), QString("Logging To File x"));
    for (const auto *names : {&kDHCPQuestion, &kOwnIP, &kNBXIP, &kNBXMac, &kRemoteQuestion})
        for (const auto &name : *names)
            QVERIFY2(!r.EnabledProperty(qPrintable(name)), qPrintable(name));
    // "Ethernet" with the remote Yes left over needs both NBX addresses.
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(r.Get("Command3")->isEnabled());
}

void TestForm1::clearFromABoxOfARowItCloses_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("focus"); // empty: none
    QTest::newRow("card's row") << QStringList {"Option3"} << "IP2" << "";
    QTest::newRow("NBX row") << QStringList {"Option3", "NBXYes"} << "NBXIP2" << "Clear";
}

// Clear with the focus in a box it closes: out of the card's rows the focus
// goes nowhere, as their frame closes first; out of the NBX rows it passes
// along them to the next control that takes it.
void TestForm1::clearFromABoxOfARowItCloses()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, box);
    QFETCH(QString, focus);
    Form1Rig r;
    for (const auto &name : clicks)
        r.Click(qPrintable(name));
    r.Type(qPrintable(box), "1");
    r.form->OnClearClicked(); // as Alt+C does, with the focus left in the box
    QVERIFY(r.Box(qPrintable(box))->text().isEmpty());
    QWidget *now = QApplication::focusWidget();
    QCOMPARE(now ? now->objectName() : QString(), focus);
}

void TestForm1::dialogOkMovesThePortAndTheButtonsFollow()
{
    Form1Rig r;
    QVERIFY(r.Get("Command1")->isEnabled() && r.Get("Command3")->isEnabled());
    const auto choose = [&](int downs) {
        r.Click("Advanced");
        r.DialogOk(downs);
        QTRY_VERIFY(!r.form->Dialog()); // closed, and gone once the event loop has run
    };
    choose(2); // Com3, which does not open
    QCOMPARE(r.boxes.shown.back(), std::string("Failed to Open Com3"));
    QVERIFY(!r.Get("Command1")->isEnabled());
    QVERIFY(!r.Get("Command3")->isEnabled());
    r.library.openablePorts = {3};
    choose(0); // the same port again: tried once more, and now it opens
    QVERIFY(r.link.IsPortOpen());
    QCOMPARE(r.link.GetComPort(), 3);
    QVERIFY(r.Get("Command1")->isEnabled());
    QVERIFY(r.Get("Command3")->isEnabled());
}

void TestForm1::advancedAgainKeepsTheDialogsEdits()
{
    Form1Rig r;
    r.Click("Advanced");
    QPointer<QDialog> first = r.form->Dialog();
    auto *want = first->findChild<QCheckBox *>("WantLogging");
    QTest::mouseClick(want, Qt::LeftButton, {}, QPoint(6, want->height() / 2));
    QVERIFY(!want->isChecked());
    r.Click("Advanced");
    QCOMPARE(r.form->Dialog(), first.data());
    QVERIFY(!want->isChecked());
    QCOMPARE(r.form->findChildren<QDialog *>().size(), 1);
}

void TestForm1::endOfSendWaitsForTheOpenBox_data()
{
    QTest::addColumn<WhileSending>("action");
    QTest::addColumn<QString>("box"); // the box inside which the timer ticks
    QTest::newRow("dialog OK, port does not open") << WhileSending::DialogPortFails << "Failed to Open Com3";
    QTest::newRow("dialog OK, log does not open") << WhileSending::DialogLogFails
                                                  << "Failed to open log file TovrikLog1.txt";
    QTest::newRow("Delete's question") << WhileSending::Delete << "Delete the config on the gateway and restart the board now?";
}

// A send ends while a box is open: its question waits for the box to close,
// and Yes to it then closes the window, and the dialog once its OK is done.
void TestForm1::endOfSendWaitsForTheOpenBox()
{
    QFETCH(WhileSending, action);
    QFETCH(QString, box);
    Form1Rig r;
    r.boxes.answers = {true};
    r.Click("Command1"); // the next tick finds the send over
    r.library.logging = action != WhileSending::DialogLogFails;
    r.library.refuseLog = true;
    r.Click("Advanced");
    QPointer<QDialog> dialog = r.form->Dialog();
    if (action == WhileSending::DialogLogFails)
        r.Click("WantLogging");
    r.boxes.onShow = [&](const std::string &text) {
        if (QString::fromStdString(text) == box)
            QVERIFY(r.timer.Tick());
    };
    r.boxes.answers = {true, true};
    if (action == WhileSending::Delete)
        r.Click("Command3");
    else
        r.DialogOk(action == WhileSending::DialogPortFails ? 2 : 0);
    QVERIFY(r.form->isVisible());
    QVERIFY(r.boxes.shown.back() != kExitAfterSend);
    QCOMPARE(r.library.written.ends_with("%CE\r%CC\r"), action == WhileSending::Delete);

    QVERIFY(r.timer.Tick());
    QCOMPARE(r.boxes.shown.back(), std::string(kExitAfterSend));
    QVERIFY(!r.form->isVisible());
    QTRY_VERIFY(!dialog);
}

void TestForm1::deleteChecksAgainAfterItsQuestion_data()
{
    QTest::addColumn<bool>("windowCloses"); // else the card's line goes
    QTest::newRow("window closed meanwhile") << true;
    QTest::newRow("line gone meanwhile") << false;
}

void TestForm1::deleteChecksAgainAfterItsQuestion()
{
    QFETCH(bool, windowCloses);
    Form1Rig r;
    r.boxes.onShow = [&](const std::string &) {
        if (windowCloses)
            r.form->close();
        else
            r.library.HangUp();
    };
    r.boxes.answers = {true};
    r.Click("Command3");
    QCOMPARE(r.boxes.shown.size(), std::size_t(1)); // the question alone
    QVERIFY(r.library.written.empty());
}

// The card's end goes away: the port closes, the buttons and the status line
// follow, and the same port is tried each second, silently, until it opens.
void TestForm1::lostCardIsAwaitedAndReopened()
{
    Form1Rig r;
    auto *status = r.Get<QLabel>("Status");
    r.library.HangUp();
    r.library.sameDevice = false; // nothing, or a stale name, where the card was
    QVERIFY(r.watch.Tick() && r.watch.Tick() && r.watch.Tick());
    QVERIFY(!r.Get("Command1")->isEnabled() && !r.Get("Command3")->isEnabled());
    QCOMPARE(status->text(), QString("Card disconnected, waiting for it on Com1"));
    QCOMPARE(r.library.Count("ReopenCommPort"), 2);
    QCOMPARE(r.library.Count("OpenCommPort"), 1); // start-up's: a wait never opens by name
    r.library.sameDevice = true;
    QVERIFY(r.watch.Tick());
    QVERIFY(r.Get("Command1")->isEnabled() && r.Get("Command3")->isEnabled());
    QCOMPARE(status->text(), QString("Card connected again on Com1"));

    // Gone again: the same port chosen in the dialog opens it at once.
    r.library.HangUp();
    r.Click("Advanced");
    r.DialogOk();
    QVERIFY(r.Get("Command1")->isEnabled() && r.Get("Command3")->isEnabled());
    QVERIFY(r.boxes.shown.empty());
}

void TestForm1::portChosenWhileWaiting_data()
{
    QTest::addColumn<int>("downs");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Com3, which does not open") << 2 << false;
    QTest::newRow("Com2, which opens") << 1 << true;
}

// The wait is for the card on Com1: a port chosen meanwhile ends it, is
// not retried behind the technician's back, and is not taken for Com1.
void TestForm1::portChosenWhileWaiting()
{
    QFETCH(int, downs);
    QFETCH(bool, opens);
    Form1Rig r;
    r.library.HangUp();
    r.library.sameDevice = false;
    QVERIFY(r.watch.Tick() && r.watch.Tick());
    QCOMPARE(r.Status(), QString("Card disconnected, waiting for it on Com1"));
    r.library.openablePorts = {1, 2};
    r.library.sameDevice = true;
    r.Click("Advanced");
    r.DialogOk(downs);
    r.library.calls.clear();
    QVERIFY(r.watch.Tick() && r.watch.Tick());
    QCOMPARE(r.library.calls, std::vector<std::string> {});
    QCOMPARE(r.Status(), QString());
    QCOMPARE(r.Get("Command3")->isEnabled(), opens);
}

// OK on the port whose card is awaited: by name it could now be the built-in
// port or the console, so the wait goes on, as the status says.
void TestForm1::samePortChosenWhileItsCardIsAwaited()
{
    Form1Rig r;
    r.library.HangUp();
    r.library.sameDevice = false;
    QVERIFY(r.watch.Tick() && r.watch.Tick());
    r.library.calls.clear();
    r.Click("Advanced");
    r.DialogOk();
    QCOMPARE(r.library.Count("OpenCommPort"), 0);
    QVERIFY(r.boxes.shown.empty());
    QCOMPARE(r.Status(), QString("Card disconnected, waiting for it on Com1"));
    QVERIFY(!r.Get("Command3")->isEnabled());
    r.library.sameDevice = true;
    QVERIFY(r.watch.Tick());
    QCOMPARE(r.Status(), QString("Card connected again on Com1"));
    QVERIFY(r.Get("Command3")->isEnabled());
}

void TestForm1::failedSendsSaySo()
{
    Form1Rig r;
    r.boxes.answers = {true, false};
    r.Click("Command1");
    QVERIFY(r.timer.Tick());
    // The next send's error box does not stand beside the last one's "Data Sent".
    r.library.failWriteAt = r.library.writeCalls + 5;
    QString besideError = "-";
    r.boxes.onShow = [&](const std::string &text) {
        if (text == "Error writing to Gateway")
            besideError = r.Status();
    };
    r.boxes.answers = {true};
    r.Click("Command1");
    QCOMPARE(besideError, QString());
    QVERIFY(r.timer.Tick());

    // Bytes the library had taken, dropped by a failing line.
    r.library.failWriteAt = -1;
    r.boxes.shown.clear();
    r.boxes.answers = {true, true};
    r.Click("Command1");
    r.library.HangUp();
    QVERIFY(r.timer.Tick());
    QCOMPARE(r.Status(), QString("Sending failed"));
    QCOMPARE(r.boxes.shown.back(), std::string("The line to the card was lost during the send."));
    QVERIFY(r.form->isVisible()); // no exit question
}

void TestForm1::typedCountryGoesOutAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("known");
    QTest::newRow("list entry") << "United States" << true;
    QTest::newRow("entry in small letters") << "united states" << false;
    QTest::newRow("start of an entry") << "United K" << false;
}

void TestForm1::typedCountryGoesOutAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(bool, known);
    Form1Rig r;
    QLineEdit *country = r.Get<QComboBox>("CountryCode")->lineEdit();
    country->setFocus();
    country->selectAll();
    QTest::keyClicks(country, typed);
    QTest::keyClick(country, Qt::Key_Tab); // the box loses the focus
    QCOMPARE(country->text(), typed);
    r.boxes.answers = {true};
    r.Click("Command1");
    QCOMPARE(r.library.written.find("%CV1\r") != std::string::npos, known);
}

void TestForm1::logNameIsShownAsPlainText()
{
    Form1Rig r;
    r.library.logging = false;
    r.Click("Advanced");
    r.Click("WantLogging");
    r.Get<QLineEdit>("FileName")->selectAll();
    QTest::keyClicks(r.Get("FileName"), "<font color=red>x</font>");
    r.DialogOk();
    QCOMPARE(r.Get<QLabel>("Status")->textFormat(), Qt::PlainText);
}

void TestForm1::loggingThatStoppedIsNotClaimed_data()
{
    QTest::addColumn<LogCheck>("when");
    QTest::addColumn<QString>("status");
    const QString stopped = "Logging stopped: TovrikLog.txt could not be written";
    QTest::newRow("start-up, log does not open") << LogCheck::StartUp << "Not logging: TovrikLog.txt could not be opened";
    QTest::newRow("start-up, the library reads nothing")
        << LogCheck::NoReader << "Not logging: the serial library could not start reading the card";
    QTest::newRow("end of a send") << LogCheck::EndOfSend << stopped;
    QTest::newRow("dialog opens") << LogCheck::DialogOpens << stopped;
    QTest::newRow("switched off in the dialog") << LogCheck::SwitchedOff << "Data Sent";
    QTest::newRow("line watch, the library's reason")
        << LogCheck::LineWatch << "Not logging: TovrikLog.txt: No space left on device";
}

void TestForm1::loggingThatStoppedIsNotClaimed()
{
    QFETCH(LogCheck, when);
    QFETCH(QString, status);
    Form1Rig r(true, when != LogCheck::StartUp, when != LogCheck::NoReader);
    if (when == LogCheck::SwitchedOff) {
        r.Click("Advanced");
        r.Click("WantLogging");
        r.DialogOk();
    }
    r.library.logging = false; // the library stopped: the disk is full
    if (when == LogCheck::DialogOpens) {
        r.Click("Advanced");
    } else if (when == LogCheck::LineWatch) {
        r.library.logError = "No space left on device";
        QVERIFY(r.watch.Tick());
    } else if (when != LogCheck::StartUp && when != LogCheck::NoReader) {
        r.boxes.answers = {true, false};
        r.Click("Command1");
        QVERIFY(r.timer.Tick());
        QCOMPARE(r.boxes.shown.back(), std::string(kExitAfterSend));
    }
    QCOMPARE(r.Status(), status);
}

void TestForm1::staleNBXAddressUnderEthernet_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("fragment") << "10" << "%CN0.0.0.0\ry";
    QTest::newRow("whole address") << "10.1.2.3" << "%CN10.1.2.3\ry";
}

// Typed under "Standard IP", then left behind in the closed row under "Ethernet".
void TestForm1::staleNBXAddressUnderEthernet()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    Form1Rig r;
    for (const char *name : {"Option3", "DHCPYes", "NBXYes"})
        r.Click(name);
    r.Type("NBXIP1", typed);
    r.Type("Mac1", "010203040506");
    r.Click("Option1");
    r.boxes.answers = {true};
    r.Click("Command1");
    QCOMPARE(r.boxes.shown, std::vector<std::string> {kConfigureQuestion});
    QVERIFY(QString::fromStdString(r.library.written).contains(sent));
}

void TestForm1::filledFromAProfile_data()
{
    QTest::addColumn<QString>("ini"); // null: no file
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("filled");
    QTest::addColumn<QStringList>("unused");
    QTest::addColumn<bool>("configure");
    QTest::addColumn<QString>("box"); // %1: the profile's path
    QTest::addColumn<QString>("status");
    const QString fresh = "Option1, DHCPNo, NBXNo, RemoteNo, Check1";
    const QString notes = "Some settings of site.ini were not used:";
    QTest::newRow("standard IP, card over defaults")
        << "[defaults]\nprotocol = standard\nsubnet = 255.255.255.0\ngateway = 10.0.0.1\n\n"
           "[card front\tdesk]\nip = 10.0.0.5\n[card back]\nip = 10.0.0.6\n"
        << "front\tdesk" << "Option3, DHCPNo, NBXNo, RemoteNo, Check1, IP 10|0|0|5, Sub 255|255|255|0, gw 10|0|0|1"
        << QStringList() << true << QString() << "Filled in from site.ini, card front\\tdesk";
    QTest::newRow("Ethernet: the MAC row, the card's rows closed")
        << "[defaults]\nprotocol = ethernet\nsubnet = 255.255.255.0\nseveral_nbx = yes\n"
           "nbx_mac = 00:A0:24:1B:2C:3D\ncountry = United Kingdom\nremember_audio = no\nboost_audio = yes\n"
        << "" << "Option1, DHCPNo, NBXYes, RemoteNo, Check2, Mac 00|a0|24|1b|2c|3d, United Kingdom"
        << QStringList {"not used: subnet (Ethernet)"} << true << notes << "Filled in from site.ini";
    QTest::newRow("on the fly: remote opens the DHCP question, which closes the card's rows")
        << "[defaults]\nprotocol = onthefly\ndhcp = yes\nremote_nbx = yes\nip = 10.0.0.5\nnbx_ip = 10.0.1.2\n"
           "subnet = 255.0.0.0\n"
        << "" << "Option2, DHCPYes, NBXNo, RemoteYes, Check1, NBXIP 10|0|1|2"
        << QStringList {"not used: ip (IP On the Fly, dhcp = yes)", "not used: subnet (IP On the Fly, dhcp = yes)"}
        << false << notes << "Filled in from site.ini";
    QTest::newRow("refused: every refusal in one box")
        << "[defaults]\nprotocol = Ethernet\nnetmask = 255.0.0.0\nip = 10.0.0.5\n[card a]\ndhcp = yes\ndhcp = no\n"
        << "b" << fresh << QStringList() << true
        << "%1:2: protocol: 'Ethernet' is not one of ethernet, onthefly, standard\n%1:3: netmask: unknown key\n"
           "%1:7: dhcp: duplicate key, first set on line 6\n%1: no section [card b]" << QString();
    QTest::newRow("refused: no such file") << QString() << "" << fresh << QStringList() << true
                                           << "%1: cannot be read: No such file or directory" << QString();
}

// The window filled by its own handlers comes to what tovrik-cli sends.
void TestForm1::filledFromAProfile()
{
    QFETCH(QString, ini);
    QFETCH(QString, card);
    QFETCH(QString, filled);
    QFETCH(QStringList, unused);
    QFETCH(bool, configure);
    QFETCH(QString, box);
    QFETCH(QString, status);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.ini");
    if (!ini.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ini.toUtf8()) == ini.size());
    }
    Form1Rig r;
    QStringList notes;
    for (const auto &line : r.form->FillFromProfile(path.toStdString(), card.toStdString()))
        notes << QString::fromStdString(line);

    QCOMPARE(Filled(r), filled);
    QCOMPARE(notes, unused);
    QVERIFY2(SectionMismatch(r).isEmpty(), qPrintable(SectionMismatch(r)));
    QCOMPARE(r.Get("Command1")->isEnabled(), configure);
    QCoreApplication::processEvents(); // the notes' box comes from the event loop
    QCOMPARE(r.boxes.shown, box.isEmpty() ? std::vector<std::string> {}
                                          : std::vector<std::string> {box.replace("%1", path).toStdString()});
    if (!unused.isEmpty())
        QCOMPARE(r.boxes.details.back(), unused.join('\n').toStdString());
    QVERIFY(r.watch.Tick());
    QCOMPARE(r.Status(), status);
    QVERIFY(r.library.written.empty());
    if (box.isEmpty()) {
        const auto reading = profile::ReadProfileFile(path.toStdString(), card.toStdString());
        const auto plain = profile::FillAnswers(reading.settings);
        QCOMPARE(r.form->Model().Lines(), ConfigurationLines(plain.answers));
    }
}

// Notes that come while another box waits for its answer are held for the
// line watch's first tick after it.
void TestForm1::profileNotesWaitForAnOpenBox()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("site.ini");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[defaults]\nprotocol = ethernet\nip = 10.0.0.5\n") > 0);
    file.close();
    Form1Rig r;
    bool filled = false;
    r.boxes.onShow = [&](const std::string &) {
        if (std::exchange(filled, true))
            return;
        r.form->FillFromProfile(path.toStdString(), "");
        QCoreApplication::processEvents();
        r.watch.Tick();
    };
    r.form->OnVersionTriggered();
    QCOMPARE(r.boxes.shown.size(), std::size_t {1});
    QVERIFY(r.watch.Tick());
    QCOMPARE(r.boxes.shown.back(), std::string("Some settings of site.ini were not used:"));
}

QTEST_MAIN(TestForm1)
#include "form1_test.moc"
