#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calib/cal_fit_workspace.h"
#include "calib/prompt_file.h"
#include "link/device_record.h"
#include "records/record.h"

namespace clinora::records {

// Where records are made: the station's name (the host name unless one is
// set) and the program's name and version.
struct StationInfo {
    std::string station;
    std::string program;
};
StationInfo ThisStation(const std::string& name = {});
std::string HostName();

// One calibration or test run of a set of boards: the station, the axis
// (calib::kAxisA or kAxisB), how it was made, and the run's UUID that its
// boards' records share.
struct RunInfo {
    StationInfo station;
    int axis = calib::kAxisA;
    RunSetup setup;
    std::string run;
};
// A run with a new UUID.
RunInfo NewRun(const StationInfo& station, int axis, const RunSetup& setup);

// What a page takes at each Accept beside what the device record keeps: the
// other axis's reading and the board's temperature, by sweep and slot.
// Nothing where they were not taken.
struct AcceptExtras {
    std::array<std::optional<double>, kMaxPositions> otherFirst{}, otherReturn{};
    std::array<std::optional<double>, kMaxPositions> temperatureFirst{}, temperatureReturn{};
    void store(bool firstSweep, int slot, std::optional<double> otherAxis,
               std::optional<double> temperature);
};

// A board's identity as it told it; nothing known gives "unknown".
BoardIdentity IdentityOf(const std::string& address, const std::string& serial,
                         std::optional<float> firmware, std::optional<float> boardRevision);
// A board that did not answer.
BoardIdentity UnknownBoard(const std::string& address);

// A file by its name and content.
FileRef FileRefOf(const std::string& name, std::string_view bytes);

// The record of one board's calibration, made right after its fit and its
// data file: `device` holds the run's readings, labels and (after Compute)
// the constants; `fit` is the workspace of that Compute; `rows` the prompt
// rows of the run.
Record BuildCalibrationRecord(const RunInfo& run, const BoardIdentity& board,
                              const DeviceRecord& device, const calib::CalFitWorkspace& fit,
                              const std::vector<calib::PromptRow>& rows, const FileRef& dataFile,
                              const AcceptExtras& extras = {});

// The record of one board's calibration test: `device` holds the calibrated
// readings of the walk; each is judged against its row's test limits.
// `follows` names the board's calibration record the test checks, when known.
Record BuildTestRecord(const RunInfo& run, const BoardIdentity& board, const DeviceRecord& device,
                       const std::vector<calib::PromptRow>& rows, const FileRef& testFile,
                       const AcceptExtras& extras = {}, const std::string& follows = {});

// What a transfer of constants to or from one board did.
struct TransferOutcome {
    RecordKind kind = RecordKind::Upload;  // Upload, Verify or Read
    std::string axis;                      // "A", "B" or "A+B"
    bool success = false;
    std::string detail;   // in words: "Success writing", "3 errors verifying # 101" ...
    std::string follows;  // the calibration record whose constants these are, if known
};

// The record of an upload, verify or read of `file`'s constants (`constants`
// as the device record holds them) for one board.
Record BuildTransferRecord(const StationInfo& station, const BoardIdentity& board,
                           const FileRef& file, const DeviceRecord& constants,
                           const TransferOutcome& outcome);

// "A" or "B" for calib::kAxisA / kAxisB.
std::string AxisName(int axis);

}  // namespace clinora::records
