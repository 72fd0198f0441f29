// Which sections of the main window take input, as each answer changes: the
// window provides the sections, these rules switch them.
#pragma once

struct Answers;

class WindowSections {
public:
    virtual ~WindowSections() = default;
    virtual void EnableIPSettings(bool enabled) = 0;
    virtual void EnableDHCPChoice(bool enabled) = 0;
    virtual void EnableNBXIPAddress(bool enabled) = 0;
    virtual void EnableNBXMacAddress(bool enabled) = 0;
    virtual void EnableRemoteChoice(bool enabled) = 0;
    virtual void CheckIfButtonEnabled() = 0;

    void EnableNBXAddress(bool enabled)
    {
        EnableNBXIPAddress(enabled);
        EnableNBXMacAddress(enabled);
    }
};

// Each runs once the answer it names has changed; `a` holds the answers at
// that moment. None changes an answer or a text.
namespace section_rules {
void ProtocolChosen(const Answers &a, WindowSections &w);
void DHCPServerAnswered(const Answers &a, WindowSections &w);
void MoreThanOneNBXAnswered(const Answers &a, WindowSections &w);
void RemoteNBXAnswered(const Answers &a, WindowSections &w);
} // namespace section_rules
