// The windows' timers behind an interface, so tests deliver their ticks one
// by one. The real one ticks at the interval it is made with (250 ms for the
// send's progress, a second for the card watch), on the user-interface thread.
#pragma once

#include <functional>
#include <memory>

class QTimer;

class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void SetEnabled(bool enabled) = 0;
    [[nodiscard]] virtual bool Enabled() const = 0;
    std::function<void()> onTick;
};

class QtTicker final : public Ticker {
public:
    explicit QtTicker(int intervalMs);
    ~QtTicker() override;
    void SetEnabled(bool enabled) override;
    [[nodiscard]] bool Enabled() const override;

private:
    std::unique_ptr<QTimer> timer_;
};
