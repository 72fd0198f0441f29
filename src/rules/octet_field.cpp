#include "octet_field.h"

#include <cctype>

namespace {

std::string CutAtFirstRejected(std::string_view text, bool (*accepted)(char))
{
    std::string out;
    for (const char c : text) {
        if (!accepted(c))
            break;
        out += c;
    }
    return out;
}

bool IsDecimal(char c) { return (c >= '0' && c <= '9') || c == '.'; }
bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':'; }

} // namespace

std::string FilterIPCharacters(std::string_view text)
{
    return CutAtFirstRejected(text, IsDecimal);
}

std::string FilterMacCharacters(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return CutAtFirstRejected(lower, IsHex);
}

void OctetChange(OctetBox &box, const OctetBoxKind &kind)
{
    // Every step reads the text afresh: a nested run may have changed it.
    box.SetText(kind.hex ? FilterMacCharacters(box.Text()) : FilterIPCharacters(box.Text()));
    box.SetSelStart(static_cast<int>(box.Text().size()));

    if (box.Text().empty()) {
        box.CheckIfButtonEnabled();
        return;
    }

    const char sep = kind.Separator();
    if (kind.position != RowPosition::Last
        && static_cast<int>(box.Text().size()) == kind.AdvanceLength())
        box.SetFocusNext();

    switch (kind.position) {
    case RowPosition::First:
        if (const auto t = box.Text(); !t.empty() && t.back() == sep) {
            box.SetText(t.substr(0, t.size() - 1));
            box.SetFocusNext();
        }
        break;
    case RowPosition::Middle:
        if (const auto t = box.Text(); !t.empty() && t.front() == sep) {
            box.SetText(t.substr(1));
        } else if (!t.empty() && t.back() == sep) {
            box.SetText(t.substr(0, t.size() - 1));
            box.SetFocusNext();
        }
        break;
    case RowPosition::Last:
        if (const auto t = box.Text(); !t.empty() && t.front() == sep)
            box.SetText(t.substr(1));
        break;
    }

    box.CheckIfButtonEnabled();
}
