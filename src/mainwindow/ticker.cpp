#include "ticker.h"

#include <QTimer>

QtTicker::QtTicker(int intervalMs) : timer_(std::make_unique<QTimer>())
{
    timer_->setInterval(intervalMs);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        if (onTick)
            onTick();
    });
}

QtTicker::~QtTicker() = default;

void QtTicker::SetEnabled(bool enabled)
{
    if (enabled)
        timer_->start();
    else
        timer_->stop();
}

bool QtTicker::Enabled() const { return timer_->isActive(); }
