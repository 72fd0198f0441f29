// What the logging dialog may do to the main window: write its status line,
// tell it which log the library now writes, and run its readiness check.
#pragma once

#include <QString>

class MainWindowAccess {
public:
    virtual ~MainWindowAccess() = default;
    virtual void SetStatusCaption(const QString &caption) = 0;
    // The file the library logs to from now on; empty when switched off.
    virtual void SetExpectedLog(const QString &fileName) = 0;
    virtual void CheckIfButtonEnabled() = 0;
};
