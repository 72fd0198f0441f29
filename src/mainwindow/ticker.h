// The windows' timers behind an interface, so tests deliver their ticks one
// by one. The real one ticks at the interval it is made with (250 ms for the
// send's progress, a second for the card watch), on the user-interface thread.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class QFileSystemWatcher;
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

// Ticks at its interval and, within a few milliseconds, whenever one of
// `folders` changes: a card's link made anew or an adapter plugged in is
// looked at at once, and the interval is only the fallback. A folder that
// is missing, or made anew, is watched from the next interval on.
class FolderWatchTicker final : public Ticker {
public:
    FolderWatchTicker(int intervalMs, const QStringList &folders);
    ~FolderWatchTicker() override;
    void SetEnabled(bool enabled) override;
    [[nodiscard]] bool Enabled() const override;

private:
    void WatchFolders();
    void Tick();

    QStringList folders_;
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QTimer> soon_; // one tick for a burst of changes
    std::unique_ptr<QFileSystemWatcher> watcher_;
};
