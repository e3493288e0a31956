#include "link/reading_format.h"

#include <gtest/gtest.h>

#include "link/command_line.h"
#include "link/number_text.h"

namespace clinora {
namespace {

TEST(ReadingFormat, SineToDegreesContinuesPastNinety) {
    EXPECT_EQ(Printf("%.3f", SineToDegrees(0.5)), "30.000");
    EXPECT_EQ(Printf("%.3f", SineToDegrees(1.5)), "120.000");
    EXPECT_EQ(Printf("%.3f", SineToDegrees(-1.5)), "-120.000");
    EXPECT_EQ(Printf("%.3f", SineToDegrees(1.0)), "90.000");
    EXPECT_EQ(Printf("%.3f", SineToDegrees(0.0)), "0.000");
}

TEST(ReadingFormat, Temperature) {
    EXPECT_EQ(FormatTemperature(20, true), "68.00 \u00B0F");
    EXPECT_EQ(FormatTemperature(20, false), "20.00 \u00B0C");
}

TEST(ReadingFormat, ReplyFieldsAndNumbers) {
    EXPECT_EQ(ReplyField("SR 1,2,3\r\n", 3), "1,2,3");
    EXPECT_EQ(ReplyField("SR", 3), "");
    EXPECT_EQ(ReplyField("DA 12\n", 3), "12");
    EXPECT_EQ(ReplyField(std::string(150, 'x'), 3).size(), 97u);

    auto f = SplitReading("0.1,0.2,25.5,junk");
    EXPECT_EQ(f.a, "0.1");
    EXPECT_EQ(f.b, "0.2");
    EXPECT_EQ(f.rest, "25.5,junk");
    f = SplitReading("lonely");
    EXPECT_EQ(f.a, "lonely");
    EXPECT_EQ(f.b, "");
    EXPECT_EQ(f.rest, "");

    EXPECT_DOUBLE_EQ(ToDouble("1.25xyz"), 1.25);
    EXPECT_DOUBLE_EQ(ToDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(ToDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ToDouble("NAN"), 0.0);
}

TEST(ReadingFormat, SinglePrecisionWordsAndChecksums) {
    EXPECT_EQ(FloatToWord(1.0f), 0x3F800000u);
    EXPECT_EQ(WordToFloat(0x3F800000u), 1.0f);
    std::array<float, 8> ones;
    ones.fill(1.0f);
    EXPECT_EQ(AxisChecksum(ones), 248);
    EXPECT_EQ(AxisChecksum({}), 0);
}

TEST(CommandLine, AddressesAndCommandsThatCouldBreakTheLineAreRefused) {
    EXPECT_EQ(*CommandLineBody("65535", "SR"), "@@65535 SR");
    EXPECT_EQ(*CommandLineBody("65534", ""), "@@65534 ");
    EXPECT_EQ(*CommandLineBody("", "MODE 0"), "MODE 0");
    for (const char* bad : {"123456", "12a", " 12", "1 2", "12\r", "-1", "1@@2"}) {
        EXPECT_FALSE(CommandLineBody(bad, "SR")) << bad;
    }
    for (const char* bad : {"SR\r@@1 AR 60317 60317", "SR\n", "X @@"}) {
        EXPECT_FALSE(CommandLineBody("1", bad)) << bad;
    }
    EXPECT_EQ(Hex(0xA0), "A0");
    EXPECT_EQ(Hex(0), "0");
}

}  // namespace
}  // namespace clinora
