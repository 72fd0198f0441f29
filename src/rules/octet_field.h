// The octet boxes of the address rows: what a box does every time its text
// changes (filter, move along the row, swallow a stray separator).
#pragma once

#include <string>
#include <string_view>

enum class RowPosition { First, Middle, Last };

struct OctetBoxKind {
    RowPosition position;
    bool hex;      // MAC row: hexadecimal digits and ':'; else decimal and '.'
    int maxLength; // what the box lets the user type
    [[nodiscard]] char Separator() const { return hex ? ':' : '.'; }
    [[nodiscard]] int AdvanceLength() const { return hex ? 2 : 3; }
};

// Cut at the first character that is not a decimal digit or '.'.
[[nodiscard]] std::string FilterIPCharacters(std::string_view text);
// Lower-case, then cut at the first character that is not a hexadecimal digit or ':'.
[[nodiscard]] std::string FilterMacCharacters(std::string_view text);

struct OctetEdit {
    std::string text; // what the box holds once its handler is done; the caret goes to its end
    bool movesOn;     // the focus goes on to the next box of the row, if that box takes it
};

// The change handler shared by all 22 boxes, for a box whose text an edit
// has just made `text`. Each text it writes runs it again before it goes on,
// as the line edit's change signal does.
[[nodiscard]] OctetEdit ApplyOctetRule(std::string text, const OctetBoxKind &kind);
