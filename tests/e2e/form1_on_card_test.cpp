// The main window, driven with clicks and keys as a technician drives it, on
// the real serial library, with the virtual card as a separate process on
// COM1: what the card stores afterwards is what was entered.
#include "board_link.h"
#include "card_configurations.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "pty_pair.h"
#include "real_library.h"
#include "serial_library.h"
#include "sim_process.h"
#include "ticker.h"
#include "window_driver.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

using testsupport::RealLibrary;

namespace {

const char *kAskSend = "Do you want to send your IP configuration data to the gateway card and restart it?";
const char *kAskExit = "All configuration data has been sent to the gateway card. Do you now want to exit ?";
const char *kAskDelete = "Delete the config on the gateway and restart the board now?";
const char *kRestarting = "Board should now be restarting";

// Every key of the card's state file; an unset setting is null.
const QStringList kStateKeys = {"remote",  "dhcp",    "ip",      "subnet",         "gateway",    "on_the_fly",
                                "nbx_ip",  "nbx_mac", "country", "remember_audio", "boost_audio"};

// Generous: the machine may be busy with other builds.
constexpr int kWaitMs = 10000;

QString Text(const fs::path &file) { return QString::fromLatin1(cardsimtest::ReadFile(file)); }

// The state file as compact JSON with sorted keys; the raw text when it is
// not a JSON object, so that a failure shows it.
QString StoredState(const fs::path &file)
{
    const QByteArray raw = QByteArray::fromStdString(cardsimtest::ReadFile(file));
    const QJsonDocument doc = QJsonDocument::fromJson(raw);
    return doc.isObject() ? QString::fromUtf8(doc.toJson(QJsonDocument::Compact)) : QString::fromUtf8(raw);
}

// `settings` over an erased card: every key not named is null.
QString ExpectedState(const QByteArray &settings)
{
    QJsonObject expected;
    for (const auto &key : kStateKeys)
        expected.insert(key, QJsonValue::Null);
    const QJsonObject given = QJsonDocument::fromJson(settings).object();
    for (auto it = given.begin(); it != given.end(); ++it) {
        if (!kStateKeys.contains(it.key()))
            qFatal("no such setting in the table: %s", qPrintable(it.key()));
        expected.insert(it.key(), it.value());
    }
    return QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

struct CardRig {
    testsupport::DeviceDir devices;
    testsupport::TempDir work; // the tool's working folder, where its log lands
    fs::path state = work.Path() / "card.json";
    fs::path trace = work.Path() / "card.trace";
    fs::path log = work.Path() / "TovrikLog.txt";
    std::optional<cardsimtest::SimProcess> card;
    testsupport::FakeMessageBoxes boxes;
    QtTicker timer {250};
    QtTicker lineWatch {1000};
    BoardLink link {RealLibrary()};
    GatewayCommands commands {link};
    std::unique_ptr<Form1> form;
    QString previousDir = QDir::currentPath();

    CardRig() { StartCard(); }
    // A fresh card on COM1, erased, as after a restart of the virtual card.
    void StartCard()
    {
        card.emplace(std::vector<std::string> {"--com", "1", "--state", state.string(), "--trace", trace.string()},
                     work.Path());
    }

    // The card makes its link last, once it is ready; the window opens COM1
    // while it loads, so it comes after.
    [[nodiscard]] bool Open()
    {
        if (!card->WaitForLink(devices.Path() / "com1"))
            return false;
        QDir::setCurrent(QString::fromStdString(work.Path().string()));
        form = std::make_unique<Form1>(link, commands, boxes, timer, lineWatch);
        form->show();
        // Clicks give the boxes the focus only in the active window.
        return QTest::qWaitForWindowActive(form.get());
    }
    ~CardRig()
    {
        // The library is one per process: leave it closed and not logging.
        if (form)
            form->close();
        RealLibrary().StopLogging();
        QDir::setCurrent(previousDir);
        (void)card->Stop(SIGTERM);
    }

    [[nodiscard]] QString Status() const { return driver::Status(form.get()); }
    [[nodiscard]] QString Story() const
    {
        QString shown;
        for (const auto &text : boxes.shown)
            shown += QString::fromStdString(text) + " | ";
        return QStringLiteral("boxes: %1\ncard received: %2\ntool's log:\n%3\ncard's errors: %4")
            .arg(shown, Text(trace).replace('\r', "\\r"), Text(log).remove('\r'),
                 QString::fromStdString(card->Stderr()));
    }
};

// One step of a table row: "Name" clicks the control, "Name=text" types the
// text into that box key by key (the boxes move the focus along their row),
// "CountryCode=…" picks the country from the list with the arrow key.
void Perform(CardRig &r, const QString &step)
{
    const qsizetype equals = step.indexOf('=');
    const QString name = step.left(equals);
    QWidget *w = driver::Find(r.form.get(), name);
    QVERIFY2(w->isEnabled(), qPrintable(name + " is disabled"));
    if (equals < 0) {
        driver::Click(w);
        return;
    }
    const QString text = step.mid(equals + 1);
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        driver::Click(combo->lineEdit());
        for (int i = 0; i < combo->count() && combo->currentText() != text; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(combo->currentText(), text);
        return;
    }
    driver::Click(w);
    QCOMPARE(QApplication::focusWidget(), w);
    driver::TypeHere(text);
}

// The clicks and typing that give the window a profile's settings, in the
// order of the settings. The audio boxes start checked and unchecked.
QStringList StepsFor(const testsupport::CardConfiguration &configuration)
{
    const std::map<std::string, QString> protocols = {
        {"ethernet", "Option1"}, {"onthefly", "Option2"}, {"standard", "Option3"}};
    const std::map<std::string, QString> questions = {{"dhcp", "DHCP"}, {"remote_nbx", "Remote"}, {"several_nbx", "NBX"}};
    const std::map<std::string, QString> rows = {{"ip", "IP1"},         {"subnet", "Sub1"},  {"gateway", "gw1"},
                                                 {"nbx_ip", "NBXIP1"},  {"nbx_mac", "Mac1"}, {"country", "CountryCode"}};
    QStringList steps;
    for (const auto &[key, value] : configuration.settings) {
        const QString text = QString::fromStdString(value);
        if (key == "protocol")
            steps << protocols.at(value);
        else if (questions.contains(key))
            steps << questions.at(key) + (value == "yes" ? "Yes" : "No");
        else if (rows.contains(key))
            steps << rows.at(key) + "=" + text;
        else if ((key == "remember_audio" && value == "no") || (key == "boost_audio" && value == "yes"))
            steps << (key == "remember_audio" ? "Check1" : "Check2");
    }
    return steps;
}

// After Configure, with Yes to sending and No to exiting: returns once the
// card answered the end of the configuration.
void AwaitConfigured(CardRig &r)
{
    QTRY_COMPARE_WITH_TIMEOUT(r.Status(), QString("Data Sent"), kWaitMs);
    // "Data Sent" only says the bytes left; the card answers "%CE" once it
    // has stored the result, or refuses it.
    const auto endAnswered = [&r] {
        const QString log = Text(r.log);
        return log.contains("OK configuration applied") || log.contains("ERR configuration rejected")
            || log.contains("ERR %CE");
    };
    QTRY_VERIFY2_WITH_TIMEOUT(endAnswered(), qPrintable(r.Story()), kWaitMs);
    QVERIFY2(Text(r.log).contains("OK configuration applied"), qPrintable(r.Story()));
    QCOMPARE(r.boxes.shown, (std::vector<std::string> {kAskSend, kAskExit}));
}

// Configure, Yes to sending, No to exiting.
void Configure(CardRig &r)
{
    QVERIFY2(driver::Find(r.form.get(), "Command1")->isEnabled(), qPrintable(r.Story()));
    r.boxes.answers = {true, false};
    driver::Click(driver::Find(r.form.get(), "Command1"));
    AwaitConfigured(r);
}

const QStringList kStandardIP = StepsFor(testsupport::WalkThrough());
const QByteArray kStandardIPStored = testsupport::WalkThrough().stored;

} // namespace

class TestE2EForm1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void configureStoresWhatWasEntered_data();
    void configureStoresWhatWasEntered();
    void keyboardAloneConfigures();
    void deleteErasesTheStoredConfiguration();
    void runningConfigLandsInTheToolsLog();
    void restartedCardIsReachedAgain();
};

void TestE2EForm1::initTestCase() { (void)RealLibrary(); }

void TestE2EForm1::configureStoresWhatWasEntered_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("stored"); // the settings that are set; all others must be null
    QTest::addColumn<int>("configuration"); // the shared row, whose bytes tovrik-cli sends alike; -1: none

    const auto &configurations = testsupport::CardConfigurations();
    for (std::size_t i = 0; i < configurations.size(); ++i)
        QTest::newRow(configurations[i].name)
            << StepsFor(configurations[i]) << QByteArray(configurations[i].stored) << static_cast<int>(i);
    // The remote question is closed under Ethernet but keeps its Yes: no
    // profile can say that, only the window's history.
    QTest::newRow("Ethernet, remote NBX answered under Standard IP")
        << QStringList {"Option3", "DHCPYes", "RemoteYes", "NBXIP1=10.9.8.7", "Mac1=00:11:22:33:44:55", "Option1"}
        << QByteArray(R"({"remote": true, "dhcp": false, "on_the_fly": false, "nbx_ip": "10.9.8.7",
                          "nbx_mac": "00:11:22:33:44:55", "remember_audio": true, "boost_audio": false})")
        << -1;
}

void TestE2EForm1::configureStoresWhatWasEntered()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, stored);
    QFETCH(int, configuration);

    CardRig r;
    QVERIFY2(r.Open(), qPrintable(r.Story()));
    QCOMPARE(StoredState(r.state), ExpectedState("{}")); // every start is an erased card
    for (const auto &step : steps) {
        Perform(r, step);
        if (QTest::currentTestFailed())
            return;
    }
    Configure(r);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(StoredState(r.state), ExpectedState(stored));
    if (configuration >= 0)
        QCOMPARE(Text(r.trace), QString::fromStdString(
                                    testsupport::CardConfigurations()[static_cast<std::size_t>(configuration)].Bytes()));
}

// The keystrokes of "Using the tool" in the README, from start-up, into
// whichever control holds the focus: keys in angle brackets, text typed.
void TestE2EForm1::keyboardAloneConfigures()
{
    CardRig r;
    QVERIFY2(r.Open(), qPrintable(r.Story()));
    r.boxes.answers = {true, false};
    for (const QString step : {"<Right>", "<Right>", "<Tab>", "<Tab>", "10.0.0.5", "<Tab>", "255.255.255.0", "<Tab>",
                               "10.0.0.1", "<Alt+G>"}) {
        if (!step.startsWith('<')) {
            driver::TypeHere(step);
            continue;
        }
        const QKeyCombination key = QKeySequence(step.mid(1, step.size() - 2))[0];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    }
    AwaitConfigured(r);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(StoredState(r.state), ExpectedState(kStandardIPStored));
    // What a screen reader is told the status line says.
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(driver::Find(r.form.get(), "Status"));
    QCOMPARE(status->text(QAccessible::Description), QString("Data Sent"));
}

// Opens the window on the card and sends the Standard IP configuration.
void ConfigureStandardIP(CardRig &r)
{
    QVERIFY2(r.Open(), qPrintable(r.Story()));
    for (const auto &step : kStandardIP)
        Perform(r, step);
    Configure(r);
}

void TestE2EForm1::deleteErasesTheStoredConfiguration()
{
    CardRig r;
    ConfigureStandardIP(r);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(StoredState(r.state), ExpectedState(kStandardIPStored));

    r.boxes.shown.clear();
    r.boxes.answers = {true};
    driver::Click(driver::Find(r.form.get(), "Command3"));
    QCOMPARE(r.boxes.shown, (std::vector<std::string> {kAskDelete, kRestarting}));
    QTRY_VERIFY2_WITH_TIMEOUT(Text(r.log).contains("OK configuration erased"), qPrintable(r.Story()), kWaitMs);
    QCOMPARE(StoredState(r.state), ExpectedState("{}"));
}

void TestE2EForm1::runningConfigLandsInTheToolsLog()
{
    CardRig r;
    ConfigureStandardIP(r);
    if (QTest::currentTestFailed())
        return;

    driver::Click(driver::Find(r.form.get(), "Advanced"));
    QWidget *dialog = r.form->Dialog();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QWidget *logConfig = driver::Find(dialog, "LogConfig");
    QVERIFY(logConfig->isEnabled()); // the window logs from the start
    driver::Click(logConfig);

    QTRY_VERIFY2_WITH_TIMEOUT(Text(r.log).contains("build: brenlock-sim"), qPrintable(r.Story()), kWaitMs);
    // The printout shows the configuration just stored, then the build line.
    const QString log = Text(r.log);
    const QByteArray shown = QString(log).remove('\r').toLatin1();
    const qsizetype printout = log.indexOf("running configuration:");
    QVERIFY2(printout >= 0, shown.constData());
    const QString lines = log.mid(printout);
    for (const char *line : {"  remote=0\r\n", "  dhcp=0\r\n", "  ip=10.0.0.5\r\n", "  subnet=255.255.255.0\r\n",
                             "  gateway=10.0.0.1\r\n", "  on_the_fly=-\r\n", "  nbx_ip=-\r\n",
                             "  remember_audio=1\r\n", "  boost_audio=0\r\n"})
        QVERIFY2(lines.contains(QLatin1String(line)), shown.constData());
    QVERIFY2(lines.indexOf("  boost_audio=0") < lines.indexOf("build: brenlock-sim"), shown.constData());
}

// The card goes away and comes back on the same port after a gap: the
// window follows by itself, and Configure works again without any other step.
void TestE2EForm1::restartedCardIsReachedAgain()
{
    CardRig r;
    ConfigureStandardIP(r);
    if (QTest::currentTestFailed())
        return;
    QWidget *configure = driver::Find(r.form.get(), "Command1");

    QCOMPARE(r.card->Stop(SIGTERM), 0);
    QTRY_VERIFY2_WITH_TIMEOUT(!configure->isEnabled(), qPrintable(r.Story()), kWaitMs);
    QVERIFY(!driver::Find(r.form.get(), "Command3")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(r.Status(), QString("Card disconnected, waiting for it on Com1"), kWaitMs);
    // Its link is gone meanwhile: COM1 without a link would be the built-in
    // port, some other device, which must not be taken for the card.
    QTest::qWait(1500);
    QCOMPARE(r.Status(), QString("Card disconnected, waiting for it on Com1"));
    QVERIFY(!configure->isEnabled());

    r.StartCard();
    QVERIFY2(r.card->WaitForLink(r.devices.Path() / "com1"), qPrintable(r.Story()));
    QTRY_VERIFY2_WITH_TIMEOUT(configure->isEnabled(), qPrintable(r.Story()), kWaitMs);
    QCOMPARE(r.Status(), QString("Card connected again on Com1"));
    QCOMPARE(r.boxes.shown, (std::vector<std::string> {kAskSend, kAskExit})); // no box while it waited

    r.boxes.shown.clear();
    Configure(r);
    QTRY_COMPARE_WITH_TIMEOUT(StoredState(r.state), ExpectedState(kStandardIPStored), kWaitMs);
}

QTEST_MAIN(TestE2EForm1)
#include "form1_on_card_test.moc"
