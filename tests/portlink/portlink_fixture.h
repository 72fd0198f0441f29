// The real library with a pseudo-terminal where the card would be, mapped as
// COM1 and the reader running. The library is process-wide, so every case
// leaves it closed, not logging and stopped.
#pragma once

#include "portlink.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace portlink_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PortlinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(::Run(), 0);
        devices.Map(1, card.DevicePath());
    }
    void TearDown() override
    {
        StopLogging();
        CloseCommPort();
        Stop();
        EXPECT_EQ(IsLogging(), 0);
    }

    // Opens and configures COM1.
    void OpenCard()
    {
        ASSERT_NE(OpenCommPort(1), 0);
        ASSERT_NE(ConfigureOpenComPort(), 0);
    }

    testsupport::DeviceDir devices;
    testsupport::PtyPair card;
    testsupport::TempDir temp;
};

// Everything the library writes to stderr while the object lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    [[nodiscard]] std::string Text() const;

private:
    int saved_ = -1;
    int file_ = -1;
};

// Sets (or with nullptr, removes) an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

// Looks every few milliseconds until `done` holds or `deadline` passed.
template <typename Done> [[nodiscard]] bool WaitUntil(Done done, Clock::time_point deadline)
{
    while (!done()) {
        if (Clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

[[nodiscard]] std::string Hex(std::string_view bytes);
[[nodiscard]] std::string RandomBytes(std::size_t count, std::uint32_t seed);
[[nodiscard]] std::string AllByteValues();
[[nodiscard]] std::string ReadFile(const std::string &path);
// CPU time, in clock ticks, of every thread but the main one.
[[nodiscard]] long OtherThreadsCpuTicks();
[[nodiscard]] int OpenDescriptors();
[[nodiscard]] int Threads();

} // namespace portlink_test
