// Reconnection on the real library: from the virtual card's restart on the
// same COM port to Configure enabled again, with the window's own timers.
#include "board_link.h"
#include "fakes.h"
#include "form1.h"
#include "gateway_commands.h"
#include "pty_pair.h"
#include "real_library.h"
#include "sim_process.h"
#include "ticker.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

void ReconnectAfterRestart(benchmark::State &state)
{
    testsupport::DeviceDir devices;
    testsupport::TempDir work;
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(work.Path().string())); // the tool's log lands here
    std::optional<cardsimtest::SimProcess> card;
    const auto startCard = [&] {
        card.emplace(std::vector<std::string> {"--com", "1"}, work.Path());
        return card->WaitForLink(devices.Path() / "com1");
    };
    if (!startCard()) {
        state.SkipWithError("the virtual card did not start");
        return;
    }

    testsupport::FakeMessageBoxes boxes;
    QtTicker timer(250);
    QtTicker lineWatch(1000);
    BoardLink link(testsupport::RealLibrary(), boxes);
    GatewayCommands commands(link);
    Form1 form(link, commands, boxes, timer, lineWatch);
    form.show();
    QWidget *configure = form.findChild<QWidget *>("Command1");

    double linkMs = 0, longestMs = 0;
    int round = 0;
    for (auto _ : state) {
        (void)card->Stop(SIGTERM);
        if (!QTest::qWaitFor([&] { return !configure->isEnabled(); }, 10000)) {
            state.SkipWithError("the window did not notice the card going away");
            break;
        }
        // Restarts fall at every phase of the once-a-second retry.
        QTest::qWait(100 * (round++ % 10));
        const auto restart = Clock::now();
        if (!startCard()) {
            state.SkipWithError("the virtual card did not start again");
            break;
        }
        linkMs += std::chrono::duration<double, std::milli>(Clock::now() - restart).count();
        if (!QTest::qWaitFor([&] { return configure->isEnabled(); }, 10000)) {
            state.SkipWithError("the window did not reach the card again");
            break;
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - restart).count();
        longestMs = std::max(longestMs, ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["card_ready_ms"] = benchmark::Counter(linkMs, benchmark::Counter::kAvgIterations);
    state.counters["longest_ms"] = longestMs;
    state.counters["boxes"] = static_cast<double>(boxes.shown.size());
    form.close();
    QDir::setCurrent(previousDir);
}
BENCHMARK(ReconnectAfterRestart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
