// Modal message boxes, behind an interface so tests read the texts and
// answer the questions. The real boxes carry the title "tovrik" and no icon.
#pragma once

#include <string>

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A report with OK alone.
    virtual void Report(const std::string &text) = 0;
    // A question with Yes and No, Yes the default; true only for Yes.
    [[nodiscard]] virtual bool Ask(const std::string &text) = 0;
};
