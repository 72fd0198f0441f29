// A profile's settings turned into the window's answers, entered as a
// technician enters them: the protocol and the questions in the window's
// order, a row typed only while it is open, each address character by
// character through the octet boxes' handler. One order of steps drives
// either the plain answers (FillAnswers) or the real window (AnswerEntry).
#pragma once

#include "answers.h"
#include "profile_reader.h"

#include <string>
#include <string_view>
#include <vector>

namespace profile {

enum class Question { RemoteNbx, Dhcp, SeveralNbx };
enum class AddressRow { Ip, Subnet, Gateway, NbxIp, NbxMac };
enum class AudioCheck { RememberAudio, BoostAudio };

// The window as a technician's hands reach it, one step at a time. A fresh
// window has chosen Ethernet; each step runs what the click or the typing
// would run, and a click on the answer already chosen runs nothing.
class AnswerEntry {
public:
    virtual ~AnswerEntry() = default;
    // Clicks the protocol's option button.
    virtual void ChooseProtocol(Protocol protocol) = 0;
    // Clicks Yes or No; only while the question is open.
    virtual void Answer(Question question, bool yes) = 0;
    [[nodiscard]] virtual bool IsOpen(Question question) const = 0;
    [[nodiscard]] virtual bool IsOpen(AddressRow row) const = 0;
    // Types `text` key by key from the row's first box on; only while the row is open.
    virtual void Type(AddressRow row, std::string_view text) = 0;
    // Picks an entry of the country list.
    virtual void PickCountry(std::string_view country) = 0;
    // Clicks the box when it is not as wanted.
    virtual void SetCheck(AudioCheck check, bool checked) = 0;
    // The answers as they stand now.
    [[nodiscard]] virtual Answers Current() const = 0;
};

// Enters `settings` through `entry` in the window's order; returns "not used:
// subnet (Ethernet)" for each setting that met a closed row or question.
[[nodiscard]] std::vector<std::string> EnterSettings(const Settings &settings, AnswerEntry &entry);

struct FilledAnswers {
    Answers answers;
    // "not used: subnet (Ethernet)" for each setting that went to a closed row or question.
    std::vector<std::string> unused;
};

// EnterSettings on plain answers, which open and close their rows by the
// window's section rules.
[[nodiscard]] FilledAnswers FillAnswers(const Settings &settings);

// The rows readiness waits for, e.g. "ip (IP Address)"; empty once Configure
// could be pressed.
[[nodiscard]] std::vector<std::string> MissingEntries(const Answers &a);

} // namespace profile
