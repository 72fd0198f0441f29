// The octet boxes' change handler, on its own: what a box holds after an
// edit, and whether the focus moves on.
#include "octet_field.h"

#include <gtest/gtest.h>

#include <random>

namespace {

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

TEST(OctetRule, FullOctetAndSeparatorMoveTheFocus)
{
    const auto edit = [](const char *text, OctetBoxKind kind) { return ApplyOctetRule(text, kind); };
    EXPECT_EQ(edit("12.", {RowPosition::First, false, 3}).text, "12");
    EXPECT_TRUE(edit("12.", {RowPosition::First, false, 3}).movesOn);
    EXPECT_EQ(edit(".", {RowPosition::Middle, false, 3}).text, "");
    EXPECT_FALSE(edit(".", {RowPosition::Middle, false, 3}).movesOn);
    EXPECT_EQ(edit("A:", {RowPosition::Last, true, 2}).text, "a:");
    EXPECT_FALSE(edit("A:", {RowPosition::Last, true, 2}).movesOn);
    // An NBX box holds four digits; a deletion back to three moves on too.
    EXPECT_FALSE(edit("1234", {RowPosition::Middle, false, 4}).movesOn);
    EXPECT_TRUE(edit("123", {RowPosition::Middle, false, 4}).movesOn);
    EXPECT_FALSE(edit("", {RowPosition::First, false, 3}).movesOn);
}

// Random typing, deleting and pasting at random caret positions on every
// kind of box: after each handler run the text keeps the box's invariants.
TEST(OctetRule, RandomEditsKeepTheInvariants)
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
            std::string s;
            for (int step = 0; step < 12; ++step) {
                std::string t = s;
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
                s = ApplyOctetRule(t, kind).text;
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
                // A second run finds nothing left to do.
                ASSERT_EQ(ApplyOctetRule(s, kind).text, s);
            }
        }
    }
}

} // namespace
