// The rules behind the Calibration Setup and Calibration File dialogs.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/cal_file_listing.h"
#include "app/cal_setup_rules.h"
#include "temp_folder.h"

namespace clinora {
namespace {

using Names = std::vector<std::string>;

// A working folder as calibrations leave it: data and test files of boards
// 12 and 123 on both axes, the address files and the reading log.
const Names kEntries = {
    "00012_CAL_DATA_AXIS_A_05-14-24.csv",
    "00012_CAL_DATA_AXIS_A_TEST_05-14-24.csv",
    "00012_CAL_DATA_AXIS_B_05-14-24(1).csv",
    "00123_CAL_DATA_AXIS_A_05-14-24.csv",
    "00123_CAL_DATA_AXIS_B_TEST_05-14-24.csv",
    "00045_CAL_DATA_AXIS_A_05-14-24.csv",
    "CAL_DATA_TEST_12.csv",
    "CurrentAddresses.csv",
    "ZOV_Orvano_LOG.csv",
    "notes.v2.txt",
    "README",
};

TEST(CalFileListing, FiltersByContainedAddressAxisAndBiaxial) {
    struct Case {
        const char* what;
        const char* address;  // null: no filter
        bool biaxial, axisA;
        Names names;
    };
    const Case cases[] = {
        {"no filter: every entry without its extension",
         nullptr, false, true,
         {"00012_CAL_DATA_AXIS_A_05-14-24", "00012_CAL_DATA_AXIS_A_TEST_05-14-24",
          "00012_CAL_DATA_AXIS_B_05-14-24(1)", "00123_CAL_DATA_AXIS_A_05-14-24",
          "00123_CAL_DATA_AXIS_B_TEST_05-14-24", "00045_CAL_DATA_AXIS_A_05-14-24",
          "CAL_DATA_TEST_12", "CurrentAddresses", "ZOV_Orvano_LOG", "notes.v2", "README"}},
        {"address 12, axis A: board 123's files and the test files too",
         "12", false, true,
         {"00012_CAL_DATA_AXIS_A_05-14-24", "00012_CAL_DATA_AXIS_A_TEST_05-14-24",
          "00123_CAL_DATA_AXIS_A_05-14-24"}},
        {"address 12, axis B",
         "12", false, false,
         {"00012_CAL_DATA_AXIS_B_05-14-24(1)", "00123_CAL_DATA_AXIS_B_TEST_05-14-24"}},
        {"address 12, biaxial: both axes, test files included, CAL_DATA_TEST never",
         "12", true, false,
         {"00012_CAL_DATA_AXIS_A_05-14-24", "00012_CAL_DATA_AXIS_A_TEST_05-14-24",
          "00012_CAL_DATA_AXIS_B_05-14-24(1)", "00123_CAL_DATA_AXIS_A_05-14-24",
          "00123_CAL_DATA_AXIS_B_TEST_05-14-24"}},
        {"address 123 leaves board 12 out", "123", false, true, {"00123_CAL_DATA_AXIS_A_05-14-24"}},
        {"an address no file holds", "777", true, true, {}},
    };
    for (const Case& c : cases) {
        CalFileFilter filter;
        if (c.address) filter.address = c.address;
        filter.biaxial = c.biaxial;
        filter.axisA = c.axisA;
        EXPECT_EQ(CalFileNames(kEntries, filter), c.names) << c.what;
    }
}

TEST(CalFileListing, FolderFilesSortedWithoutFoldersAndHiddenEntries) {
    testing::TempFolder folder;
    for (const char* name : {"b.csv", "A_first.csv", "a.csv", ".hidden.csv", "README"})
        folder.write(name, "x");
    std::filesystem::create_directory(folder / "sub.dir");
    EXPECT_EQ(FolderFileNames(folder.path()), (Names{"A_first.csv", "README", "a.csv", "b.csv"}));
    EXPECT_EQ(FolderFileNames(folder.file("missing/")), Names{});
}

TEST(CalSetupRules, TypedEntriesCheckedInDialogOrder) {
    struct Case {
        const char *average, *cal, *calTest;
        SetupEntries::Field refused;
        int averageNum = 0;
        double calTolerance = 0, calTestTolerance = 0;
    };
    const Case cases[] = {
        {"5", "0.5", "0.0001", SetupEntries::kNone, 5, 0.5, 0.0001},  // exactly as typed
        {" 0 ", "1e-3", "+2", SetupEntries::kNone, 0, 0.001, 2.0},  // typing allows 0 and 1
        {"1", "-0.25", ".5", SetupEntries::kNone, 1, -0.25, 0.5},
        {"30", "0", "0", SetupEntries::kNone, 30, 0, 0},
        {"31", "0.5", "0.5", SetupEntries::kAverageNum},
        {"-1", "0.5", "0.5", SetupEntries::kAverageNum},
        {"", "0.5", "0.5", SetupEntries::kAverageNum},
        {"5.0", "0.5", "0.5", SetupEntries::kAverageNum},
        {"5x", "x", "x", SetupEntries::kAverageNum},  // the first refusal is reported
        {"99999999999", "0.5", "0.5", SetupEntries::kAverageNum},
        {"5", "", "0.5", SetupEntries::kCalTolerance},
        {"5", "0,5", "0.5", SetupEntries::kCalTolerance},
        {"5", "1e39", "0.5", SetupEntries::kCalTolerance},  // beyond a float
        {"5", "0.5", "nan", SetupEntries::kCalTestTolerance},
        {"5", "0.5", "abc", SetupEntries::kCalTestTolerance},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.average) + " | " + c.cal + " | " + c.calTest);
        const SetupEntries e = CheckSetupEntries(c.average, c.cal, c.calTest);
        EXPECT_EQ(e.refused, c.refused);
        if (c.refused == SetupEntries::kNone) {
            EXPECT_TRUE(e.message.empty());
            EXPECT_EQ(e.averageNum, c.averageNum);
            EXPECT_EQ(e.calTolerance, c.calTolerance);
            EXPECT_EQ(e.calTestTolerance, c.calTestTolerance);
        } else {
            EXPECT_EQ(e.message, c.refused == SetupEntries::kAverageNum
                                     ? "Please enter an integer between 0 and 30."
                                     : "Please enter a number.");
        }
    }
}

TEST(CalSetupRules, StoredValuesShownAsEntriesTheDialogOffers) {
    const std::pair<int, int> digits[] = {{0, 0}, {4, 4}, {5, 5}, {6, 1}, {7, 1}, {-1, 1}};
    for (auto [stored, item] : digits) EXPECT_EQ(DigitItemForDecimals(stored), item) << stored;
    const std::pair<int, int> sounds[] = {{0, 0}, {1, 1}, {2, 0}, {-1, 0}};
    for (auto [stored, item] : sounds) EXPECT_EQ(SoundItemForIndex(stored, 2), item) << stored;
    // Shown with every digit it carries: what OK reads back is the same value.
    for (const double stored : {0.5, 0.0001, 99 * 0.000001, 1234567.0, 0.123457}) {
        const std::string shown = FormatTolerance(stored);
        EXPECT_EQ(CheckSetupEntries("5", shown, shown).calTolerance, stored) << shown;
    }
    EXPECT_EQ(FormatTolerance(0.0001), "0.0001");
}

}  // namespace
}  // namespace clinora
