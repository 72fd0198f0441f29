// The advice for devices this user may not open.
#include "permission_advice.h"

#include <gtest/gtest.h>

namespace devices {
namespace {

struct AdviceCase {
    const char *name;
    DeviceAccess access;
    const char *advice; // empty: none
};

class PermissionAdviceTest : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(PermissionAdviceTest, SaysWhatWouldLetTheUserIn)
{
    EXPECT_EQ(PermissionAdvice(GetParam().access), GetParam().advice);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PermissionAdviceTest,
    ::testing::Values(
        AdviceCase {"GroupMayUseIt", {"root", "dialout", false, true, false, false, false},
                    "join the group 'dialout' that may use it, then log out and in again"},
        AdviceCase {"JoinedButNotYetLoggedIn", {"root", "dialout", false, true, false, false, true},
                    "the user was added to the group 'dialout' that may use it, but this session does not have "
                    "it yet: log out and in again"},
        AdviceCase {"OnlyTheOwner", {"root", "root", false, false, false, false, false}, "only its owner ('root') may open it"},
        AdviceCase {"InTheGroupAlreadySoNoGroupHelps", {"root", "dialout", false, true, false, true, true}, ""},
        AdviceCase {"OwnerLockedOut", {"tech", "tty", true, false, false, true, true},
                    "not even its owner may read and write it"},
        AdviceCase {"DeviceNotLookedAt", {}, ""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace devices
