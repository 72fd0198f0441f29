// The octet boxes of the address rows: what a box does every time its text
// changes (filter, caret to the end, move along the row, swallow a stray
// separator, re-run the readiness check).
#pragma once

#include <string>
#include <string_view>

enum class RowPosition { First, Middle, Last };

struct OctetBoxKind {
    RowPosition position;
    bool hex;           // MAC row: hexadecimal digits and ':'; else decimal and '.'
    int maxLength;      // what the box lets the user type
    [[nodiscard]] char Separator() const { return hex ? ':' : '.'; }
    [[nodiscard]] int AdvanceLength() const { return hex ? 2 : 3; }
};

// Cut at the first character that is not a decimal digit or '.'.
[[nodiscard]] std::string FilterIPCharacters(std::string_view text);
// Lower-case, then cut at the first character that is not a hexadecimal digit or ':'.
[[nodiscard]] std::string FilterMacCharacters(std::string_view text);

// One octet box as its change handler sees it. SetText with a different
// text runs the handler again before it returns, as the widget does.
class OctetBox {
public:
    virtual ~OctetBox() = default;
    [[nodiscard]] virtual std::string Text() const = 0;
    virtual void SetText(const std::string &text) = 0;
    virtual void SetSelStart(int position) = 0;
    // Moves the focus to the next box of the row; silently nothing when that
    // box cannot take the focus.
    virtual void SetFocusNext() = 0;
    virtual void CheckIfButtonEnabled() = 0;
};

// The change handler shared by all 22 boxes.
void OctetChange(OctetBox &box, const OctetBoxKind &kind);
