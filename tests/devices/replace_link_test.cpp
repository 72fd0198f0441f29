// A link replaced in one step leaves nothing of the step behind.
#include "pty_pair.h"
#include "replace_link.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace {

TEST(ReplaceLink, PointsAtTheNewTargetOrStaysAsItWas)
{
    testsupport::TempDir dir;
    const fs::path link = dir.Path() / "com1";
    fs::create_symlink("/dev/old", link);
    ASSERT_EQ(devices::ReplaceLink("/dev/new", link), 0);
    EXPECT_EQ(fs::read_symlink(link), "/dev/new");

    // A folder in its place is not a link to replace.
    const fs::path folder = dir.Path() / "com2";
    fs::create_directories(folder / "kept");
    EXPECT_NE(devices::ReplaceLink("/dev/new", folder), 0);
    EXPECT_TRUE(fs::is_directory(folder / "kept"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << "a temporary was left";
}

} // namespace
