// The shipped prompt files against the simulated boards: walking the fixture
// through every row, each board within the simulator's variation bounds reads
// inside the row's limits, and a board calibrated on the file passes its test
// limits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/startup_rules.h"
#include "calib/cal_fit_workspace.h"
#include "calib/nominal_angles.h"
#include "calib/prompt_file.h"
#include "sim/transfer.h"

namespace clinora::calib {
namespace {

constexpr int kRanges[] = {15, 5, 10, 30, 45, 50, 90};

std::vector<PromptRow> Shipped(int range) {
    std::vector<PromptRow> rows;
    const int count = ReadPromptFileForRange(
        std::filesystem::path(CLINORA_PROMPTS_DIR) / PromptFileForTiltRange(range), range, rows);
    EXPECT_EQ(count, 2 * NominalAngles(range).count) << PromptFileForTiltRange(range);
    return rows;
}

// The slot of each row as the calibration pages walk the file: from the last
// row to the first, k rising through the first sweep, held at the turn, then
// falling through the return sweep.
std::vector<int> WalkSlots(int rows) {
    std::vector<int> slot(static_cast<std::size_t>(rows));
    int k = 0;
    for (int cursor = rows - 1; cursor >= 0; --cursor) {
        slot[static_cast<std::size_t>(cursor)] = k;
        if (cursor > rows / 2) ++k;
        if (cursor < rows / 2) --k;
    }
    return slot;
}

std::vector<sim::AxisProfile> ExtremeBoards() {
    std::vector<sim::AxisProfile> boards;
    for (double offset : {-sim::kMaxOffsetVolts, sim::kMaxOffsetVolts})
        for (double gain : {1.0 - sim::kMaxGainError, 1.0 + sim::kMaxGainError})
            for (double drift : {-sim::kMaxDriftVoltsPerC, sim::kMaxDriftVoltsPerC})
                boards.push_back({offset, gain, drift});
    boards.push_back({});
    return boards;
}

constexpr double kTemps[] = {sim::kMinTempC, 25.0, sim::kMaxTempC};
constexpr double kNoise[] = {-sim::kMaxNoiseVolts, 0.0, sim::kMaxNoiseVolts};

TEST(ShippedPrompts, EveryBoardReadsInsideEveryRow) {
    for (int range : kRanges) {
        SCOPED_TRACE(PromptFileForTiltRange(range));
        const NominalAngleTable table = NominalAngles(range);
        const std::vector<PromptRow> rows = Shipped(range);
        const std::vector<int> slots = WalkSlots(static_cast<int>(rows.size()));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const PromptRow& row = rows[r];
            const int k = slots[r];
            const double angle = table.degrees[static_cast<std::size_t>(k)];
            for (const sim::AxisProfile& board : ExtremeBoards())
                for (double temp : kTemps)
                    for (double noise : kNoise) {
                        const double v = sim::AxisVolts(board, angle, temp) + noise;
                        EXPECT_TRUE(row.aLow < v && v < row.aHigh) << "row " << r << " A " << v;
                        EXPECT_TRUE(row.bLow < v && v < row.bHigh) << "row " << r << " B " << v;
                    }
            EXPECT_NEAR(row.aTarget, sim::NominalVolts(angle), 1e-4) << "row " << r;
            EXPECT_NEAR(row.bTarget, row.aTarget, 0.0);
            const double sine = std::sin(angle * sim::kPi / 180.0);
            EXPECT_NEAR(row.aTestTarget, sine, 1e-6) << "row " << r;
            EXPECT_NEAR(row.bTestTarget, sine, 1e-6) << "row " << r;
            // The neighbouring positions' readings fall outside this row's limits.
            for (int other : {k - 1, k + 1}) {
                if (other < 0 || other >= table.count) continue;
                const double v = sim::NominalVolts(table.degrees[static_cast<std::size_t>(other)]);
                EXPECT_FALSE(row.aLow < v && v < row.aHigh)
                    << "row " << r << " neighbour " << other;
                const double s =
                    std::sin(table.degrees[static_cast<std::size_t>(other)] * sim::kPi / 180.0);
                EXPECT_FALSE(row.aTestLow < s && s < row.aTestHigh) << "row " << r;
            }
        }
    }
}

// A board with the constants as it receives them (single precision).
double BoardSine(const Coefficients& c, double volts) {
    double sum = 0.0;
    for (int j = 5; j >= 0; --j)
        sum = sum * volts + static_cast<float>(c[static_cast<std::size_t>(j)]);
    return sum;
}

TEST(ShippedPrompts, CalibratedBoardsMeetTheTestLimits) {
    for (int range : kRanges) {
        SCOPED_TRACE(PromptFileForTiltRange(range));
        const NominalAngleTable table = NominalAngles(range);
        const std::vector<PromptRow> rows = Shipped(range);
        const int n = static_cast<int>(rows.size()) / 2;
        const std::vector<int> slots = WalkSlots(static_cast<int>(rows.size()));
        for (const sim::AxisProfile& board : ExtremeBoards())
            for (double calTemp : {sim::kMinTempC, sim::kMaxTempC})
                for (double testTemp : {sim::kMinTempC, sim::kMaxTempC}) {
                    DeviceRecord record;
                    for (std::size_t r = 0; r < rows.size(); ++r) {
                        const int k = slots[r];
                        const double noise = (r % 2 ? 1 : -1) * sim::kMaxNoiseVolts;
                        const double v =
                            sim::AxisVolts(board, table.degrees[static_cast<std::size_t>(k)],
                                           calTemp) +
                            noise;
                        (static_cast<int>(r) >= n
                             ? record.aFirstMain
                             : record.aReturnMain)[static_cast<std::size_t>(k)] = v;
                    }
                    CalFitWorkspace ws;
                    ws.Reset(n, range);
                    ASSERT_EQ(ws.Compute(record, kAxisA, false), kFitOk);
                    for (std::size_t r = 0; r < rows.size(); ++r) {
                        const double angle = table.degrees[static_cast<std::size_t>(slots[r])];
                        for (double noise : kNoise) {
                            const double s =
                                BoardSine(record.a, sim::AxisVolts(board, angle, testTemp) + noise);
                            EXPECT_TRUE(rows[r].aTestLow < s && s < rows[r].aTestHigh)
                                << "row " << r << " reads " << s << " cal " << calTemp << " test "
                                << testTemp;
                        }
                    }
                }
    }
}

}  // namespace
}  // namespace clinora::calib
