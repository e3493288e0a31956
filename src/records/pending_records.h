#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/record.h"

namespace clinora::records {

// Records that could not be stored (full disk, read-only or damaged records
// file) wait as files in this folder of the working folder, one per record,
// until a program of the station stores them.
inline constexpr const char* kPendingFolderName = "history-pending";

// Writes `record` into the pending folder; its path, or nothing when even
// that fails.
std::optional<std::filesystem::path> KeepPendingRecord(const std::filesystem::path& folder,
                                                       const Record& record);

// The pending records of the folder, oldest first, with their files (to
// remove once stored). Files that do not hold a record are left alone.
std::vector<std::pair<std::filesystem::path, Record>> PendingRecords(
    const std::filesystem::path& folder);

}  // namespace clinora::records
