// Configure on the real library over a pseudo-terminal: from the Yes to the
// last byte at the card's end, and the longest single event the
// user-interface thread handles meanwhile.
#include "board_link.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"
#include "library_loader.h"
#include "pty_pair.h"
#include "real_library.h"
#include "serial_library.h"
#include "ticker.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

using testsupport::RealLibrary;

namespace {

using Clock = std::chrono::steady_clock;

// Times every event the application delivers.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;
    Clock::duration longest {};
    bool notify(QObject *receiver, QEvent *event) override
    {
        const auto start = Clock::now();
        const bool handled = QApplication::notify(receiver, event);
        longest = std::max(longest, Clock::now() - start);
        return handled;
    }
};

TimedApplication *app = nullptr;

void Type(QLineEdit *box, const QString &text)
{
    box->setFocus();
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

// The longest sequence: IP On the Fly, remote NBX, no DHCP, a country: 13 lines.
void LongestConfigure(benchmark::State &state)
{
    testsupport::DeviceDir devices;
    testsupport::TempDir workDir;
    testsupport::PtyPair card;
    devices.Map(1, card.DevicePath());
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(workDir.Path().string()));

    testsupport::FakeMessageBoxes boxes;
    QtTicker timer(250);
    QtTicker lineWatch(1000);
    BoardLink link(RealLibrary());
    GatewayCommands commands(link);
    Form1 form(link, commands, boxes, timer, lineWatch);
    form.show();
    (void)QTest::qWaitForWindowExposed(&form);

    const auto click = [&](const char *name) {
        QTest::mouseClick(form.findChild<QWidget *>(name), Qt::LeftButton, {}, QPoint(6, 8));
    };
    click("Option2");
    click("RemoteYes");
    Type(form.findChild<QLineEdit *>("IP1"), "192.168.100.200");
    Type(form.findChild<QLineEdit *>("Sub1"), "255.255.255.0");
    Type(form.findChild<QLineEdit *>("gw1"), "192.168.100.254");
    Type(form.findChild<QLineEdit *>("NBXIP1"), "192.168.200.100");
    Type(form.findChild<QLineEdit *>("Mac1"), "00e0bb0a0b0c");
    form.findChild<QComboBox *>("CountryCode")->setCurrentIndex(1);
    std::size_t total = 0;
    for (const auto &line : form.Model().Lines())
        total += line.size();

    Clock::time_point yes;
    boxes.onShow = [&](const std::string &) { yes = Clock::now(); };
    double worstEventUs = 0;
    for (auto _ : state) {
        boxes.answers = {true, false};
        app->longest = {};
        Clock::time_point lastByte;
        std::string got;
        std::thread reader([&] {
            got = card.ReadExactly(total, std::chrono::seconds(5));
            lastByte = Clock::now();
        });
        QTest::mouseClick(form.findChild<QWidget *>("Command1"), Qt::LeftButton);
        reader.join();
        if (got.size() != total)
            state.SkipWithError("the card did not receive the whole configuration");
        state.SetIterationTime(std::chrono::duration<double>(lastByte - yes).count());
        // Let the timer see the end of the send and ask its question (answered No).
        while (timer.Enabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        worstEventUs = std::max(worstEventUs, std::chrono::duration<double, std::micro>(app->longest).count());
    }
    state.counters["bytes"] = static_cast<double>(total);
    state.counters["longest_event_us"] = worstEventUs;
    form.close();
    QDir::setCurrent(previousDir);
}
BENCHMARK(LongestConfigure)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    app = &application;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
