#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "calib/prompt_file.h"
#include "records/record.h"
#include "records/record_builders.h"

namespace clinora::records {

// Plausible calibration and test runs of boards like the simulated ones
// (15 degree range, seven positions per sweep, axis A), made through the
// program's own fit, file writers and record builders: for the records
// benchmark and the tests of the records, where thousands of runs are needed.
struct SampleRun {
    std::vector<calib::PromptRow> rows;
    std::vector<Record> calibrations;               // one per board, with its data file
    std::vector<Record> tests;                      // one per board, with its test file
    std::vector<std::string> dataFiles, testFiles;  // names in the folder
};

// The prompt rows the sample runs walk.
std::vector<calib::PromptRow> SamplePromptRows();

// A run of `boards` boards at addresses firstAddress, firstAddress + 1 ...;
// their calibration data and test files are written into `folder` (made when
// missing; std::runtime_error when a file cannot be written). `seed`
// varies the boards' offsets, gains and noise. The test of the board at
// `failingAddress` reads outside its limits at one position.
SampleRun MakeSampleRun(const std::filesystem::path& folder, int boards, int firstAddress,
                        unsigned seed, const StationInfo& station, int failingAddress = -1);

}  // namespace clinora::records
