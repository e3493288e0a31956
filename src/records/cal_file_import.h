#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record.h"
#include "records/record_builders.h"
#include "records/record_store.h"

namespace clinora::records {

// A calibration data file ("..._CAL_DATA_AXIS_A_...csv") or a calibration
// test file ("..._AXIS_A_TEST_...") as a record marked imported: the board by
// the file's address (serial "unknown"), the time of the file's header, the
// readings of both sweeps, the report's calibrated values and the constants.
// `bytes` is the file's content (its constants are read from `path` as the
// Cal page reads them). `why` says what does not parse when there is no record.
std::optional<Record> ImportedRecord(const std::filesystem::path& path, std::string_view bytes,
                                     const StationInfo& station, std::string& why);

// Whether a file name is one of the calibration files the writers make.
bool IsCalibrationFileName(const std::string& name);

struct ImportReport {
    int64_t imported = 0;
    int64_t already = 0;  // the same file (by SHA-256) is recorded already
    struct Bad {
        std::string name;
        std::string why;
    };
    std::vector<Bad> bad;  // listed and skipped
};

// Brings every calibration data and test file of `folder` into `store`, in
// name order, a batch of records per transaction.
ImportReport ImportFolder(RecordStore& store, const std::filesystem::path& folder,
                          const StationInfo& station);

}  // namespace clinora::records
