// The octet boxes' change handler on a stand-in box that re-enters the
// handler on every changing write, as the real line edit does.
#include "octet_field.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Box final : OctetBox {
    OctetBoxKind kind;
    std::string text;
    int caret = 0;
    int focusMoves = 0;
    int checks = 0;
    int depth = 0;
    int deepest = 0;

    explicit Box(OctetBoxKind s) : kind(s) {}

    std::string Text() const override { return text; }
    void SetText(const std::string &t) override
    {
        if (t == text)
            return;
        text = t;
        Changed();
    }
    void SetSelStart(int position) override { caret = position; }
    void SetFocusNext() override { ++focusMoves; }
    void CheckIfButtonEnabled() override { ++checks; }

    // What the user's edit does: the box holds it, then runs the handler.
    void Edit(std::string t)
    {
        if (static_cast<int>(t.size()) > kind.maxLength)
            t.resize(static_cast<std::size_t>(kind.maxLength));
        SetText(t);
    }
    void Changed()
    {
        ++depth;
        deepest = std::max(deepest, depth);
        ASSERT_LT(depth, 16) << "handler recursion runs away on '" << text << "'";
        OctetChange(*this, kind);
        --depth;
    }
};

TEST(OctetFilter, CutsAtTheFirstForeignCharacter)
{
    EXPECT_EQ(FilterIPCharacters("12a4"), "12");
    EXPECT_EQ(FilterIPCharacters("1.2"), "1.2");
    EXPECT_EQ(FilterIPCharacters("1:2"), "1");
    EXPECT_EQ(FilterIPCharacters(" 12"), "");
    EXPECT_EQ(FilterIPCharacters("1\xc3\xa9"), "1");
    EXPECT_EQ(FilterMacCharacters("AB"), "ab");
    EXPECT_EQ(FilterMacCharacters("0g1"), "0");
    EXPECT_EQ(FilterMacCharacters("F:."), "f:");
    EXPECT_EQ(FilterMacCharacters(""), "");
}

TEST(OctetChange, FullOctetAndSeparatorMoveTheFocus)
{
    Box first({RowPosition::First, false, 3});
    first.Edit("12.");
    EXPECT_EQ(first.text, "12");
    EXPECT_EQ(first.focusMoves, 2); // length 3 first, then the separator
    Box middle({RowPosition::Middle, false, 3});
    middle.Edit(".");
    EXPECT_EQ(middle.text, "");
    EXPECT_EQ(middle.focusMoves, 0);
    Box last({RowPosition::Last, true, 2});
    last.Edit("A:");
    EXPECT_EQ(last.text, "a:");
    EXPECT_EQ(last.focusMoves, 0);
    Box nbx({RowPosition::Middle, false, 4});
    nbx.Edit("1234");
    nbx.focusMoves = 0;
    nbx.Edit("123");
    EXPECT_EQ(nbx.focusMoves, 1); // a deletion to three digits moves on too
}

TEST(OctetChange, EmptyingRunsTheCheckOnceAndMovesNothing)
{
    Box box({RowPosition::First, false, 3});
    box.Edit("12");
    box.checks = box.focusMoves = 0;
    box.Edit("");
    EXPECT_EQ(box.checks, 1);
    EXPECT_EQ(box.focusMoves, 0);
}

// Random typing, deleting and pasting at random caret positions on every
// kind of box: after each handler run the text keeps the box's invariants.
TEST(OctetChange, RandomEditsKeepTheInvariants)
{
    const std::string alphabet = "0123456789abcdefABCDEFgz.:;- \t\x7f\xc3\xa9";
    std::mt19937 rng(7);
    const OctetBoxKind kinds[] = {
        {RowPosition::First, false, 3}, {RowPosition::Middle, false, 3}, {RowPosition::Last, false, 3},
        {RowPosition::First, false, 4}, {RowPosition::Middle, false, 4}, {RowPosition::First, true, 2},
        {RowPosition::Middle, true, 2}, {RowPosition::Last, true, 2}};
    for (const auto &kind : kinds) {
        const char sep = kind.Separator();
        for (int sequence = 0; sequence < 2000; ++sequence) {
            Box box(kind);
            for (int step = 0; step < 12; ++step) {
                std::string t = box.text;
                const std::size_t at = rng() % (t.size() + 1);
                switch (rng() % 3) {
                case 0: t.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
                case 1:
                    if (!t.empty())
                        t.erase(std::min(at, t.size() - 1), 1);
                    break;
                default: {
                    std::string paste;
                    for (std::size_t n = rng() % 6; n > 0; --n)
                        paste += alphabet[rng() % alphabet.size()];
                    t.insert(at, paste);
                }
                }
                const int checksBefore = box.checks;
                const std::string before = box.text;
                if (static_cast<int>(t.size()) > kind.maxLength)
                    t.resize(static_cast<std::size_t>(kind.maxLength));
                box.Edit(t);
                ASSERT_EQ(box.depth, 0);
                const std::string &s = box.text;
                for (const char c : s) {
                    const bool ok = (c >= '0' && c <= '9') || c == sep || (kind.hex && c >= 'a' && c <= 'f');
                    ASSERT_TRUE(ok) << "'" << s << "'";
                }
                if (!s.empty() && kind.position != RowPosition::Last) {
                    ASSERT_NE(s.back(), sep) << "'" << s << "'";
                }
                if (!s.empty() && kind.position != RowPosition::First) {
                    ASSERT_NE(s.front(), sep) << "'" << s << "'";
                }
                ASSERT_LE(static_cast<int>(s.size()), kind.maxLength);
                ASSERT_EQ(box.caret, static_cast<int>(s.size()));
                // Every change ends with the readiness check.
                if (t != before) {
                    ASSERT_GT(box.checks, checksBefore);
                }
            }
        }
    }
}

} // namespace
