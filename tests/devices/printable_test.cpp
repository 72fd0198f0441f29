// Names in one-line messages: escaped where they could break the line.
#include "printable.h"

#include <gtest/gtest.h>

namespace {

struct Name {
    const char *name;
    std::string given;
    std::string shown;
};

void PrintTo(const Name &row, std::ostream *os) { *os << row.name; }

class PrintableTest : public ::testing::TestWithParam<Name> {};

TEST_P(PrintableTest, ShowsTheNameOnOneLine) { EXPECT_EQ(devices::Printable(GetParam().given), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(
    Names, PrintableTest,
    ::testing::Values(Name {"NewlineAndTab", "log\n\t.txt", "log\\n\\t.txt"},
                      Name {"TerminalEscape", "\x1b[2Jlog", "\\x1b[2Jlog"},
                      Name {"Accented", "journal-été.txt", "journal-été.txt"},
                      Name {"Backslash", "C:\\log", "C:\\\\log"},
                      Name {"NotUtf8", "log\xFF\xC3", "log\\xff\\xc3"},
                      Name {"C1Control", "a\xC2\x9B" "2J", "a\\xc2\\x9b2J"},
                      Name {"Delete", "a\x7F", "a\\x7f"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
