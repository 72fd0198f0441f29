// The library over a pseudo-terminal: the cost of one WriteToBoard, the
// sustained rate to a reader, and how long the longest configuration takes
// to reach the other end.
#include "gateway_commands.h"
#include "portlink.h"
#include "pty_pair.h"

#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// COM1 open on a fresh pty, the library's reader running.
class OpenCard {
public:
    OpenCard()
    {
        devices_.Map(1, card.DevicePath());
        Run();
        ok = OpenCommPort(1) != 0 && ConfigureOpenComPort() != 0;
    }
    ~OpenCard()
    {
        CloseCommPort();
        Stop();
    }
    OpenCard(const OpenCard &) = delete;
    OpenCard &operator=(const OpenCard &) = delete;

    testsupport::PtyPair card;
    bool ok = false;

private:
    testsupport::DeviceDir devices_;
};

// Reads the card's side on its own thread and counts what arrives.
class Drain {
public:
    explicit Drain(int fd) : fd_(fd), thread_([this] { Loop(); }) {}
    ~Drain()
    {
        stop_ = true;
        thread_.join();
    }
    Drain(const Drain &) = delete;
    Drain &operator=(const Drain &) = delete;

    [[nodiscard]] std::uint64_t Received() const { return received_.load(std::memory_order_acquire); }

    bool WaitFor(std::uint64_t total) const
    {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Received() < total)
            if (Clock::now() > deadline)
                return false;
        return true;
    }

private:
    void Loop()
    {
        char buf[65536];
        while (!stop_) {
            pollfd p {fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                received_.fetch_add(static_cast<std::uint64_t>(n), std::memory_order_release);
        }
    }

    int fd_;
    std::atomic<bool> stop_ {false};
    std::atomic<std::uint64_t> received_ {0};
    std::thread thread_;
};

// The longest configuration the window can send: every optional line, every
// address box full (the first three NBX boxes hold four characters), 143 bytes.
std::string LongestConfiguration()
{
    using namespace gateway;
    const char *ip = "255.255.255.255";
    return BeginConfigLine() + RemoteFlagLine(true) + DHCPFlagLine(false) + IPAddressLine(ip)
        + SubnetLine(ip) + GatewayLine(ip) + OnTheFlyFlagLine(true) + NBXIPLine("9999.9999.9999.999")
        + NBXMacLine("aa:bb:cc:dd:ee:ff") + CountryCodeLine("United Kingdom")
        + RememberAudioLine(CheckState::Checked) + BoostAudioLine(CheckState::Checked) + EndConfigLine();
}

void WriteOneByte(benchmark::State &state)
{
    OpenCard open;
    if (!open.ok) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    Drain drain(open.card.CardFd());
    std::uint8_t b = 0;
    std::uint64_t written = 0;
    for (auto _ : state) {
        if (WriteToBoard(b++, 150) == 0) {
            state.SkipWithError("write refused");
            break;
        }
        ++written;
    }
    if (!drain.WaitFor(written))
        state.SkipWithError("bytes lost");
}
BENCHMARK(WriteOneByte);

// Each iteration: 64 KiB written byte by byte until the reader has them all.
void SustainedToReader(benchmark::State &state)
{
    constexpr int kChunk = 64 * 1024;
    OpenCard open;
    if (!open.ok) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    Drain drain(open.card.CardFd());
    std::uint64_t total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < kChunk; ++i) {
            if (WriteToBoard(static_cast<std::uint8_t>(i), 150) == 0) {
                state.SkipWithError("write refused");
                return;
            }
        }
        total += kChunk;
        if (!drain.WaitFor(total)) {
            state.SkipWithError("bytes lost");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(SustainedToReader)->UseManualTime()->Unit(benchmark::kMillisecond);

// From the first byte handed to the library to the last one read at the
// card's end.
void LongestConfigurationAcross(benchmark::State &state)
{
    OpenCard open;
    if (!open.ok) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    const std::string config = LongestConfiguration();
    for (auto _ : state) {
        const auto start = Clock::now();
        for (const unsigned char c : config)
            if (WriteToBoard(c, 150) == 0) {
                state.SkipWithError("write refused");
                return;
            }
        if (open.card.ReadExactly(config.size()).size() != config.size()) {
            state.SkipWithError("bytes lost");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["bytes"] = static_cast<double>(config.size());
}
BENCHMARK(LongestConfigurationAcross)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
