#include "octet_field.h"

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

// One box while its handler runs, nested runs included.
struct HandlerRun {
    const OctetBoxKind &kind;
    OctetEdit box;

    void SetText(std::string text)
    {
        if (static_cast<int>(text.size()) > kind.maxLength)
            text.resize(static_cast<std::size_t>(kind.maxLength));
        if (text == box.text)
            return;
        box.text = std::move(text);
        Changed();
    }

    void Changed()
    {
        // Every step reads the text afresh: a nested run may have changed it.
        SetText(kind.hex ? FilterMacCharacters(box.text) : FilterIPCharacters(box.text));
        if (box.text.empty())
            return;

        const char sep = kind.Separator();
        if (kind.position != RowPosition::Last && static_cast<int>(box.text.size()) == kind.AdvanceLength())
            box.movesOn = true;

        const std::string t = box.text;
        switch (kind.position) {
        case RowPosition::First:
            if (t.back() == sep) {
                SetText(t.substr(0, t.size() - 1));
                box.movesOn = true;
            }
            break;
        case RowPosition::Middle:
            if (t.front() == sep) {
                SetText(t.substr(1));
            } else if (t.back() == sep) {
                SetText(t.substr(0, t.size() - 1));
                box.movesOn = true;
            }
            break;
        case RowPosition::Last:
            if (t.front() == sep)
                SetText(t.substr(1));
            break;
        }
    }
};

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

OctetEdit ApplyOctetRule(std::string text, const OctetBoxKind &kind)
{
    if (static_cast<int>(text.size()) > kind.maxLength)
        text.resize(static_cast<std::size_t>(kind.maxLength));
    HandlerRun run {kind, {std::move(text), false}};
    run.Changed();
    return run.box;
}
