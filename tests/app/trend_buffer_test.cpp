#include "app/trend_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace clinora {
namespace {

constexpr int64_t kMinute = 60 * 1000;

// Each step feeds one reading (or acts), then checks what a window shows.
TEST(TrendBuffer, RecordsPausesClearsAndRestartsOnAnotherUnit) {
    struct Step {
        const char* what;
        int64_t ms;
        std::string a, b, t, unit;
        bool stored;         // add's answer
        int64_t span;        // window asked for at `ms`
        size_t shown;        // samples in it
        double lastA;        // a of its newest sample
    };
    const std::vector<Step> steps = {
        {"first reading", 1000, "1.50", "-0.25", "21.5", "V", true, kMinute, 1, 1.50},
        {"no number at all", 2000, "----", "--.--", "--", "V", false, kMinute, 1, 1.50},
        {"axis B missing only", 3000, "1.60", "----", "21.6", "V", true, kMinute, 2, 1.60},
        {"outside the 1 min window", 3000 + 2 * kMinute, "1.70", "0", "22", "V", true, kMinute, 1,
         1.70},
        {"the 10 min window keeps all (no reading)", 3000 + 2 * kMinute, "", "", "", "", false,
         10 * kMinute, 3,
         1.70},
        {"another unit starts afresh", 4000 + 2 * kMinute, "0.26", "0", "22", "Deg", true,
         10 * kMinute, 1, 0.26},
        {"older than an hour is dropped", 5000 + 63 * kMinute, "0.27", "0", "22", "Deg", true,
         60 * kMinute, 1, 0.27},
    };
    TrendBuffer trend;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (!s.unit.empty()) {
            EXPECT_EQ(trend.add(s.ms, s.a, s.b, s.t, s.unit), s.stored);
        }
        const auto shown = trend.window(s.ms, s.span);
        ASSERT_EQ(shown.size(), s.shown);
        EXPECT_DOUBLE_EQ(shown.back().a, s.lastA);
    }
    EXPECT_EQ(trend.size(), 1u);
    EXPECT_EQ(trend.unit(), "Deg");

    // Paused, the window stays at the pause while readings keep arriving.
    const int64_t pause = 6000 + 63 * kMinute;
    trend.setPaused(true, pause);
    trend.add(pause + 30000, "0.30", "0", "22", "Deg");
    EXPECT_EQ(trend.window(pause + 40000, kMinute).back().a, 0.27);
    trend.setPaused(false, pause + 50000);
    EXPECT_EQ(trend.window(pause + 50000, kMinute).back().a, 0.30);
    trend.clear();
    EXPECT_TRUE(trend.window(pause + 50000, kMinute).empty());
}

// An hour of readings every 100 ms comes out as at most kMaxPoints bucket
// means that keep the signal's shape and leave gaps as gaps.
TEST(TrendBuffer, LongWindowsAreAveragedIntoBuckets) {
    TrendBuffer trend;
    const int64_t step = 100;
    const int64_t end = 60 * kMinute;
    for (int64_t ms = step; ms <= end; ms += step) {
        const double ramp = static_cast<double>(ms) / end;  // 0..1 over the hour
        trend.add(ms, std::to_string(ramp), "----", "20", "V");
    }
    const auto shown = trend.window(end, 60 * kMinute);
    ASSERT_LE(shown.size(), static_cast<size_t>(TrendBuffer::kMaxPoints));
    ASSERT_GE(shown.size(), static_cast<size_t>(TrendBuffer::kMaxPoints - 1));
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i].ms, shown[i - 1].ms);
        EXPECT_GT(shown[i].a, shown[i - 1].a);
        EXPECT_NEAR(shown[i].a, static_cast<double>(shown[i].ms) / end, 1e-3);
        EXPECT_TRUE(std::isnan(shown[i].b));
        EXPECT_DOUBLE_EQ(shown[i].temperature, 20.0);
    }
}

}  // namespace
}  // namespace clinora
