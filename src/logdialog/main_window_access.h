// What the logging dialog may do to the main window: write its status line
// and run its readiness check.
#pragma once

#include <QString>

class MainWindowAccess {
public:
    virtual ~MainWindowAccess() = default;
    virtual void SetStatusCaption(const QString &caption) = 0;
    virtual void CheckIfButtonEnabled() = 0;
};
