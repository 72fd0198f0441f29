// The main window's form without the window: the answers, which sections
// take input, the boxes' texts and the box that has the focus, and what a
// person's clicks and keys do to them. The window shows it; a profile
// drives it.
#pragma once

#include "answers.h"
#include "section_rules.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class Question { Dhcp, SeveralNbx, RemoteNbx };
enum class AudioCheck { RememberAudio, BoostAudio };

struct BoxId {
    Row row;
    int index; // 0 is the row's first box
    friend bool operator==(const BoxId &, const BoxId &) = default;
};

class ConfigurationForm {
public:
    // A fresh window: Ethernet chosen, every section closed, no box focused.
    ConfigurationForm();

    [[nodiscard]] const Answers &Current() const { return answers_; }
    [[nodiscard]] const Sections &Open() const { return open_; }
    [[nodiscard]] bool IsOpen(Question question) const;
    // A row takes input, and so the focus.
    [[nodiscard]] bool IsOpen(Row row) const;
    [[nodiscard]] const std::string &Text(BoxId box) const;
    [[nodiscard]] std::optional<BoxId> Focus() const { return focus_; }

    // Each runs its section rule when the answer changes, open or not, as a
    // button selected by code does; a person reaches only the open ones.
    void ChooseProtocol(Protocol protocol);
    void Answer(Question question, bool yes);

    // An edit left `box` holding `text`: the octet rule runs on it, and when
    // it moves on, the focus goes to the next box if the row is open.
    // Returns whether it went.
    bool Edit(BoxId box, std::string text);
    // Puts the focus in `box` (none: outside the boxes), as a click or Tab does.
    void FocusOn(std::optional<BoxId> box) { focus_ = box; }
    // Types `keys` one by one at the end of whichever box has the focus,
    // each an Edit; a full box drops a key.
    void Type(std::string_view keys);

    void SetCountry(std::string country) { answers_.country = std::move(country); }
    void SetCheck(AudioCheck check, bool checked);
    // Back to the starting answers and texts; the remote answer stays.
    void Clear();

    // Every address the answers call for is filled in.
    [[nodiscard]] bool Ready() const;
    // What Configure sends, "%CB" first and "%CE" last.
    [[nodiscard]] std::vector<std::string> Lines() const;
    // "Not a valid IP Address: 999.0.0.5" for the first malformed address sent.
    [[nodiscard]] std::optional<std::string> MalformedAddress() const;

private:
    void Changed(bool Answers::*answer, bool value, void (*rule)(const Answers &, Sections &));

    Answers answers_;
    Sections open_;
    std::optional<BoxId> focus_;
};
