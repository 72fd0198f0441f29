// Modal message boxes, behind an interface so tests read the texts and
// answer the questions. The real boxes carry the title "tovrik" and no icon,
// and show every text as plain text.
#pragma once

#include <string>

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // A report with OK alone; a non-empty `detail` follows as a second paragraph.
    void Report(const std::string &text, const std::string &detail = {})
    {
        const Showing showing(open_);
        ShowReport(text, detail);
    }
    // A question with Yes and No, Yes the default; true only for Yes.
    [[nodiscard]] bool Ask(const std::string &text)
    {
        const Showing showing(open_);
        return ShowQuestion(text);
    }
    // True while one of these boxes is open. Each runs an event loop of its
    // own, in which timers tick: they ask this before showing another.
    [[nodiscard]] bool IsShowing() const { return open_ > 0; }

protected:
    virtual void ShowReport(const std::string &text, const std::string &detail) = 0;
    [[nodiscard]] virtual bool ShowQuestion(const std::string &text) = 0;

private:
    struct Showing {
        int &open;
        explicit Showing(int &n) : open(n) { ++open; }
        ~Showing() { --open; }
    };
    int open_ = 0;
};

// The boxes that the board link's outcomes call for, worded once for both windows.
inline void ReportOpenFailure(MessageBoxes &boxes, int port, const std::string &why)
{
    boxes.Report("Failed to Open Com" + std::to_string(port), why);
}
inline void ReportWriteFailure(MessageBoxes &boxes) { boxes.Report("Error writing to Gateway"); }
