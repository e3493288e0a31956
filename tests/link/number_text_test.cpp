#include "link/number_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace clinora {
namespace {

TEST(NumberText, WholeNumbersAreFiniteDecimalsAndNothingElse) {
    struct Case {
        std::string text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"15", 15.0}, {"-5.25", -5.25}, {"+0.5", 0.5}, {".5", 0.5},   {"1e3", 1000.0}, {"", {}},
        {" 1", {}},   {"1 ", {}},       {"1x", {}},    {"0x1p3", {}}, {"nan", {}},     {"inf", {}},
        {"-inf", {}}, {"1e400", {}},    {"+-1", {}},   {"1,5", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseWholeDouble(c.text), c.value) << c.text;
}

TEST(NumberText, WholeIntegersAreDigitsWithOneSign) {
    struct Case {
        std::string text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"30", 30},     {"-7", -7},    {"+0", 0},  {"", {}},      {"+", {}},          {"-", {}},
        {"+-1", {}},    {"++1", {}},   {" 1", {}}, {"1 ", {}},    {"1.0", {}},        {"1e1", {}},
        {"0x10", {}},   {"2147483647", 2147483647}, {"2147483648", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseWholeInt(c.text), c.value) << c.text;
    EXPECT_EQ(FormatGeneral(0.5, 6), "0.5");
    EXPECT_EQ(FormatGeneral(1e-5, 6), "1e-05");
    EXPECT_EQ(FormatGeneral(-2.0, 6), "-2");
}

TEST(NumberText, LeadingIntegersSaturateInsteadOfOverflowing) {
    EXPECT_EQ(ParseLeadingIntSaturated("65535"), 65535);
    EXPECT_EQ(ParseLeadingIntSaturated("  +12abc"), 12);
    EXPECT_EQ(ParseLeadingIntSaturated("-70000"), -70000);
    EXPECT_EQ(ParseLeadingIntSaturated("abc"), 0);
    EXPECT_EQ(ParseLeadingIntSaturated("99999999999999999999999999"), 1'000'000'000'000);
}

}  // namespace
}  // namespace clinora
