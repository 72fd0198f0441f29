// The card's command lines, byte for byte.
#include "command_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLines, ExactBytes)
{
    using namespace gateway;
    std::string all;
    for (const auto &line :
         {BeginConfigLine(), RemoteFlagLine(true), DHCPFlagLine(false), IPAddressLine("10.0.0.5"),
          SubnetLine("255.255..0"), GatewayLine("10.0.0.1"), OnTheFlyFlagLine(true), NBXIPLine("0.0.0.0"),
          NBXMacLine("00:e0:bb:1:2:3"), CountryCodeLine("United Kingdom"), CountryCodeLine("united states"),
          CountryCodeLine("  <Select Country>"), RememberAudioLine(CheckState::Unchecked),
          BoostAudioLine(CheckState::Checked), EndConfigLine(), ClearConfigLine(), LogConfigLine()})
        all += line;
    EXPECT_EQ(all, "%CB\r%CR1\r%CP0\r%CI10.0.0.5\ry%CS255.255..0\ry%CG10.0.0.1\ry%CF1\r"
                   "%CN0.0.0.0\ry%CM00:e0:bb:1:2:3\ry%CV2\r%CK0\r%CQ1\r%CE\r%CC\r%CL\r");
}

} // namespace
