#include "ticker.h"

#include <QDir>
#include <QFileSystemWatcher>
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

namespace {
// A card replaces its link in two steps, and udev makes a node and its
// names in a few: one tick once they have settled.
constexpr int kSettleMs = 15;
} // namespace

FolderWatchTicker::FolderWatchTicker(int intervalMs, const QStringList &folders)
    : folders_(folders), timer_(std::make_unique<QTimer>()), soon_(std::make_unique<QTimer>()),
      watcher_(std::make_unique<QFileSystemWatcher>())
{
    timer_->setInterval(intervalMs);
    soon_->setSingleShot(true);
    soon_->setInterval(kSettleMs);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        WatchFolders();
        Tick();
    });
    QObject::connect(soon_.get(), &QTimer::timeout, [this] { Tick(); });
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, [this] {
        if (timer_->isActive() && !soon_->isActive())
            soon_->start();
    });
}

FolderWatchTicker::~FolderWatchTicker() = default;

void FolderWatchTicker::WatchFolders()
{
    const QStringList watched = watcher_->directories();
    for (const QString &folder : folders_)
        if (!watched.contains(folder) && QDir(folder).exists())
            watcher_->addPath(folder);
}

void FolderWatchTicker::Tick()
{
    if (onTick)
        onTick();
}

void FolderWatchTicker::SetEnabled(bool enabled)
{
    if (enabled) {
        WatchFolders();
        timer_->start();
    } else {
        timer_->stop();
        soon_->stop();
    }
}

bool FolderWatchTicker::Enabled() const { return timer_->isActive(); }
