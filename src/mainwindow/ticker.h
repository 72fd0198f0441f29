// The window's timer behind an interface, so tests deliver its ticks one by
// one. The real one ticks every 250 ms on the user-interface thread.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QTimer;

class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void SetEnabled(bool enabled) = 0;
    [[nodiscard]] virtual bool Enabled() const = 0;
    [[nodiscard]] virtual int Interval() const = 0;
    std::function<void()> onTick;
};

class QtTicker final : public Ticker {
public:
    explicit QtTicker(int intervalMs);
    ~QtTicker() override;
    void SetEnabled(bool enabled) override;
    [[nodiscard]] bool Enabled() const override;
    [[nodiscard]] int Interval() const override;

private:
    std::unique_ptr<QTimer> timer_;
};
