// A file that another user planted for us to write into is refused, as the
// kernel refuses it to everyone but root; root runs these, so "another
// user's" files are given away with chown.
#include "pty_pair.h"
#include "safe_open.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOther = 65534;

struct Planted {
    const char *name;
    mode_t folderMode;
    bool folderTheirs;
    mode_t fileType; // S_IFREG, S_IFIFO or S_IFCHR
    bool fileTheirs;
    bool secondLink;
    const char *refusal; // nullptr: appended to; "%s": the folder
};

void PrintTo(const Planted &row, std::ostream *os) { *os << row.name; }

class PlantedFileTest : public testing::TestWithParam<Planted> {};

TEST_P(PlantedFileTest, IsRefusedUnlessOursOrTheFoldersOwners)
{
    const auto &row = GetParam();
    testsupport::TempDir temp;
    const fs::path folder = temp.Path() / "shared", file = folder / "TovrikLog.txt";
    fs::create_directory(folder);
    if (row.fileType == S_IFREG)
        std::ofstream(file) << "theirs\n";
    else
        ASSERT_EQ(mknod(file.c_str(), row.fileType | 0666, row.fileType == S_IFCHR ? makedev(1, 3) : 0), 0);
    if (row.secondLink)
        fs::create_hard_link(file, temp.Path() / "elsewhere.txt");
    if ((row.fileTheirs && chown(file.c_str(), kOther, kOther) != 0)
        || (row.folderTheirs && chown(folder.c_str(), kOther, kOther) != 0))
        GTEST_SKIP() << "another user's file needs root";
    ASSERT_EQ(chmod(folder.c_str(), row.folderMode), 0);

    std::string why;
    const auto opened = devices::OpenForAppend(file, why);
    EXPECT_EQ(!opened, row.refusal != nullptr);
    if (row.refusal) {
        std::string refusal = row.refusal;
        if (const auto at = refusal.find("%s"); at != std::string::npos)
            refusal.replace(at, 2, folder.string());
        EXPECT_EQ(why, "'TovrikLog.txt' " + refusal + "; not appending to it");
    }
    if (row.fileType == S_IFREG) {
        EXPECT_EQ(fs::file_size(file), 7u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlantedFileTest,
    testing::Values(
        Planted {"OursInASharedFolder", 01777, false, S_IFREG, false, false, nullptr},
        Planted {"TheirsInASharedFolder", 01777, false, S_IFREG, true, false, "in the shared folder %s belongs to another user (uid 65534)"},
        Planted {"TheirsInAGroupSharedFolder", 01770, false, S_IFREG, true, false, "in the shared folder %s belongs to another user (uid 65534)"},
        Planted {"TheirsInTheirSharedFolder", 01777, true, S_IFREG, true, false, nullptr},
        Planted {"TheirsInAFolderWithoutTheStickyBit", 0777, false, S_IFREG, true, false, nullptr},
        Planted {"TheirFifoInASharedFolder", 01777, false, S_IFIFO, true, false, "in the shared folder %s belongs to another user (uid 65534)"},
        Planted {"TheirDeviceInASharedFolder", 01777, false, S_IFCHR, true, false, "in the shared folder %s belongs to another user (uid 65534)"},
        Planted {"TheirsWithASecondName", 0755, false, S_IFREG, true, true,
                 "belongs to another user (uid 65534) and has 2 hard links"},
        Planted {"OursWithASecondName", 0755, false, S_IFREG, false, true, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
