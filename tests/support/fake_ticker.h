// A timer whose ticks the test delivers by hand.
#pragma once

#include "ticker.h"

class FakeTicker final : public Ticker {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    // Delivers one tick if the timer runs; returns whether it did.
    bool Tick()
    {
        if (!enabled_ || !onTick)
            return false;
        onTick();
        return true;
    }

private:
    bool enabled_ = false;
};
