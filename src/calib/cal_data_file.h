#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "calib/cal_fit_workspace.h"
#include "link/device_record.h"
#include "link/local_time.h"

namespace clinora::calib {

// File name prefixes of calibration data and calibration test files.
inline constexpr std::string_view kPrefixAxisA = "AXIS_A_";
inline constexpr std::string_view kPrefixAxisB = "AXIS_B_";
inline constexpr std::string_view kPrefixTestAxisA = "AXIS_A_TEST_";
inline constexpr std::string_view kPrefixTestAxisB = "AXIS_B_TEST_";

// Results of ReadCalibrationConstants besides the count of matched lines + 1.
inline constexpr int kConstantsCannotOpen = 1;
inline constexpr int kConstantsNotFound = -2;
inline constexpr int kConstantsCutShort = -1;
// Everything up to and including the "Axis B" line was read.
inline constexpr int kConstantsUsable = 11;
inline constexpr int kConstantsComplete = 19;
// The lines of a constants section, in the order they must come.
inline constexpr const char* kConstantsLines[] = {
    "Axis A", "A0", "A1", "A2", "Cross Axis", "Cross Axis X2", "A3", "A4", "A5",
    "Axis B", "B0", "B1", "B2", "Cross Axis", "Cross Axis X2", "B3", "B4", "B5",
};
// In words, what a result of ReadCalibrationConstants says is wrong with the
// file; for 1 + n matched lines, the line where reading stopped.
std::string ConstantsReadProblem(int result);

// Writes calibration data and calibration test files and reads the constants
// back. One per calibration page; each call opens, writes or reads and closes
// its file.
class CalDataFile {
public:
    explicit CalDataFile(LocalTimeSource now = SystemLocalTime) : now_(std::move(now)) {}

    // The working folder: new names are looked up and made here.
    void setFolder(std::filesystem::path folder) { folder_ = std::move(folder); }
    // Positions per sweep (prompt rows / 2), clamped to 0..kMaxPositions.
    void setPositionCount(int positions);
    void setTiltRange(int tiltRange) { tiltRange_ = tiltRange; }
    int positionCount() const { return n_; }

    // Name for a new file of the board: "<address>_CAL_DATA_<prefix><mm-dd-yy>.csv".
    // Without `append` an existing file of that name in the folder is not
    // reused: "(1)", "(2)" ... is added, and after "(1025)" the name is
    // "FilenameError.csv". Remembers the name and its path in the folder.
    std::string MakeFileName(const DeviceRecord& record, std::string_view prefix, bool append);
    const std::string& lastFileName() const { return lastName_; }
    const std::filesystem::path& lastPath() const { return lastPath_; }

    // Write the file of `axis` (0 = A, 1 = B) at `path` (empty: the path of the
    // last MakeFileName), appending when `append` is set. 0 when written, 1 when
    // the file cannot be opened or written.
    int WriteCalibrationFile(const std::filesystem::path& path, const DeviceRecord& record,
                             const CalFitWorkspace& workspace, bool append, int axis);
    int WriteTestFile(const std::filesystem::path& path, const DeviceRecord& record, bool append,
                      int axis);

    // Reads the first constants section of a calibration data file into the
    // record's coefficient blocks. Returns 1 (cannot open), -2 (no section), -1
    // (nothing after its title), or 1 + the number of matched lines (19 for all).
    int ReadCalibrationConstants(const std::filesystem::path& path, DeviceRecord& record);

private:
    int WriteText(const std::filesystem::path& path, const std::string& text, bool append) const;

    LocalTimeSource now_;
    std::filesystem::path folder_;
    std::filesystem::path lastPath_;
    std::string lastName_;
    int n_ = 0;
    int tiltRange_ = 15;
};

}  // namespace clinora::calib
