#include "app/startup_rules.h"

#include <gtest/gtest.h>

namespace clinora {
namespace {

ScreenMetrics Screen(int width, int height) { return {height, height, width, width}; }

TEST(StartupRules, TiltRangeChoosesThePromptFile) {
    EXPECT_EQ(PromptFileForTiltRange(15), "CalPrompts.csv");
    EXPECT_EQ(PromptFileForTiltRange(20), "CalPrompts.csv");
    EXPECT_EQ(PromptFileForTiltRange(0), "CalPrompts.csv");
    EXPECT_EQ(PromptFileForTiltRange(10), "CalPrompts10.csv");
    EXPECT_EQ(PromptFileForTiltRange(5), "CalPrompts5.csv");
    EXPECT_EQ(PromptFileForTiltRange(90), "CalPrompts90.csv");
}

TEST(StartupRules, OrientationRule) {
    EXPECT_FALSE(IsLandscape(Screen(480, 640)));
    EXPECT_FALSE(IsLandscape(Screen(480, 480)));  // square passes
    EXPECT_TRUE(IsLandscape(Screen(481, 480)));   // one pixel wider fails
}

TEST(StartupRules, ResourceFileHeightRule) {
    EXPECT_FALSE(UsesResourceFile(Screen(240, 269)));
    EXPECT_TRUE(UsesResourceFile(Screen(240, 270)));
    EXPECT_TRUE(UsesResourceFile(Screen(480, 770)));
    EXPECT_FALSE(UsesResourceFile(Screen(480, 771)));
}

}  // namespace
}  // namespace clinora
