#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace clinora::calib {

// One prompted fixture position. Numeric columns absent from the file, or not
// numbers, hold -1.0.
struct PromptRow {
    std::string firstLabel;  // column 0, not used elsewhere
    std::string label;       // column 1, shown to the operator
    // Calibration readings (volts): target and the limits of the readout colour.
    double aTarget = -1.0, aLow = -1.0, aHigh = -1.0;
    double bTarget = -1.0, bLow = -1.0, bHigh = -1.0;
    // Calibration test values (sine).
    double aTestTarget = -1.0, aTestLow = -1.0, aTestHigh = -1.0;
    double bTestTarget = -1.0, bTestLow = -1.0, bTestHigh = -1.0;
};

// Fewest rows a calibration walk accepts (two sweeps of seven positions).
inline constexpr int kMinPromptRows = 14;

// Replaces `rows` with the prompt rows of the file; returns their count, 0 when
// the file cannot be opened.
int ReadPromptFile(const std::filesystem::path& path, std::vector<PromptRow>& rows);

// Whether a prompt file of `rows` rows can drive a run of `tiltRange`: an even
// count, at least kMinPromptRows and at most two sweeps of the range's angles.
bool PromptRowCountUsable(int rows, double tiltRange);

// ReadPromptFile for a run of `tiltRange`: a file whose row count is not usable
// gives no rows and 0, which the calibration pages report as a prompt file error.
int ReadPromptFileForRange(const std::filesystem::path& path, double tiltRange,
                           std::vector<PromptRow>& rows);

}  // namespace clinora::calib
