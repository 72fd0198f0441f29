// Reconnection on the real library: from the virtual card's link made anew
// on the same COM port to Configure enabled again, with the window's own
// timers and its watch of the device folder; the card restarts at every
// phase of the once-a-second fallback retry.
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

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How long ago `link` itself was made, by the clock the file system stamps it with.
double MsSinceMade(const std::filesystem::path &link)
{
    struct stat st {};
    if (::lstat(link.c_str(), &st) != 0)
        return 0;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec - st.st_ctim.tv_sec) * 1e3
        + static_cast<double>(now.tv_nsec - st.st_ctim.tv_nsec) / 1e6;
}

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
    FolderWatchTicker lineWatch(1000, {QString::fromStdString(devices.Path().string())});
    BoardLink link(testsupport::RealLibrary());
    GatewayCommands commands(link);
    Form1 form(link, commands, boxes, timer, lineWatch);
    form.show();
    QWidget *configure = form.findChild<QWidget *>("Command1");

    double linkMs = 0;
    std::vector<double> fromLink; // ms from the link made to Configure enabled
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
        fromLink.push_back(MsSinceMade(devices.Path() / "com1"));
        state.SetIterationTime(ms / 1000);
    }
    std::sort(fromLink.begin(), fromLink.end());
    state.counters["card_ready_ms"] = benchmark::Counter(linkMs, benchmark::Counter::kAvgIterations);
    state.counters["median_ms"] = fromLink.empty() ? 0 : fromLink[fromLink.size() / 2];
    state.counters["longest_ms"] = fromLink.empty() ? 0 : fromLink.back();
    state.counters["boxes"] = static_cast<double>(boxes.shown.size());
    form.close();
    QDir::setCurrent(previousDir);
}
BENCHMARK(ReconnectAfterRestart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

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
