// The library's core with devices of the test's own behind the backend seam:
// what a pseudo-terminal cannot show, such as bytes still queued when the
// line fails.
#include "port_link.h"
#include "serial_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace portlink {
namespace {

using namespace std::chrono_literals;

// A device whose output queue empties only when the test says so.
class QueueingDevice final : public SerialBackend {
public:
    // What it throws away is counted outside it: closing destroys it.
    explicit QueueingDevice(std::atomic<int> &discarded) : discarded_(discarded) {}

    bool Configure() override { return !Failed(); }
    WriteResult Write(std::uint8_t, std::chrono::milliseconds) override
    {
        if (Failed())
            return WriteResult::Failed;
        ++inQueue;
        return WriteResult::Written;
    }
    bool Sending() override { return !Failed() && inQueue > 0; }
    std::size_t Queued() override { return static_cast<std::size_t>(inQueue.load()); }
    void DiscardQueued() override { discarded_ = inQueue.exchange(0); }
    void Interrupt() override {}
    int WaitHandle() const override { return -1; }
    ReadResult Read(std::span<std::uint8_t>, bool) override { return {}; }

    void HangUp() { MarkFailed(); }
    std::atomic<int> inQueue {0};

private:
    std::atomic<int> &discarded_;
};

class BackendSeamTest : public ::testing::Test {
protected:
    // Before the link, which outlives them otherwise and closes its device
    // as it goes.
    QueueingDevice *device = nullptr; // the one open now
    std::atomic<int> discarded {0};
    PortLink link {[this](const std::string &) {
        auto device = std::make_unique<QueueingDevice>(discarded);
        this->device = device.get();
        return OpenOutcome {std::move(device), {}};
    }};

    void Send(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(link.Write('x', 0ms));
    }
};

TEST_F(BackendSeamTest, BytesQueuedWhenTheLineFailsAreLostUntilTheNextOpen)
{
    ASSERT_TRUE(link.Open(1));
    Send(3);
    EXPECT_TRUE(link.Sending());
    device->HangUp();
    EXPECT_FALSE(link.Sending());
    EXPECT_FALSE(link.LineUp());
    EXPECT_TRUE(link.LostData());
    link.Close();
    EXPECT_TRUE(link.LostData()) << "the end of a send may ask after the close";
    ASSERT_TRUE(link.Open(1));
    EXPECT_FALSE(link.LostData());
    EXPECT_TRUE(link.LineUp());
}

TEST_F(BackendSeamTest, BytesSeenGoneBeforeTheLineFailsAreNotLost)
{
    ASSERT_TRUE(link.Open(1));
    Send(3);
    device->inQueue = 0;
    EXPECT_FALSE(link.Sending());
    device->HangUp();
    EXPECT_FALSE(link.LineUp());
    EXPECT_FALSE(link.LostData());
}

// Close lets the queued bytes leave, but waits no longer than they need at
// 960 bytes a second plus one second.
TEST_F(BackendSeamTest, CloseWaitsForQueuedBytesWithinItsBound)
{
    using Clock = std::chrono::steady_clock;
    ASSERT_TRUE(link.Open(1));
    Send(96);
    auto start = Clock::now(); // before the line's 200 ms begin
    std::thread line([this] {
        std::this_thread::sleep_for(200ms);
        device->inQueue = 0;
    });
    link.Close();
    EXPECT_GE(Clock::now() - start, 200ms) << "closed before the bytes had left";
    line.join();
    EXPECT_EQ(discarded, 0);

    ASSERT_TRUE(link.Open(1));
    Send(96); // a line that never moves: 100 ms of bytes
    start = Clock::now();
    link.Close();
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 1050ms);
    EXPECT_LT(took, 1600ms);
    EXPECT_EQ(discarded, 96);
}

} // namespace
} // namespace portlink
