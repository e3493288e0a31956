#include "app/monitor_display.h"

#include <gtest/gtest.h>

namespace clinora {
namespace {

// The cases the Monitor page's own tests do not reach: no selection, an odd
// degrees flag, and the reading type left alone outside calibration mode.
TEST(MonitorUnits, NoSelectionOddFlagsAndWhatEachModeLeavesAlone) {
    const UnitChoice none = UnitForEntry(true, -1);
    EXPECT_EQ(none.readingType, kReadingCalibrated);
    EXPECT_EQ(none.label, " ");
    EXPECT_FALSE(none.degreesFlag);
    EXPECT_EQ(UnitForEntry(true, 2).readingType, kReadingRawBits);

    const UnitChoice shown = UnitForEntry(false, -1);
    EXPECT_EQ(shown.degreesFlag, 0);
    EXPECT_EQ(shown.label, " ");
    EXPECT_FALSE(shown.readingType);

    const UnitActivation odd = UnitsOnActivation(false, 5);
    EXPECT_EQ(odd.entry, 0);
    EXPECT_EQ(odd.label, " ");
    EXPECT_EQ(UnitsOnActivation(true, 5).entry, 1);  // volts whatever the flag

    EXPECT_EQ(TiltLabel("Deg", false, "mm"), "mm");
    EXPECT_EQ(TiltLabel("Deg", true, "mm"), "Deg");
}

}  // namespace
}  // namespace clinora
