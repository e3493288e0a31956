#pragma once

#include <vector>

#include "records/record.h"
#include "records/record_builders.h"
#include "temp_folder.h"

namespace clinora::records::samples {

inline const StationInfo kStation{"bench-1", "Clinora Host 1.02"};

// One record of every kind (a calibration, a failed test, an upload, a
// verify, a read) and a calibration whose texts a database could take badly:
// quotes, "'); DROP TABLE", NUL, a terminal escape, bytes that are not UTF-8,
// 10 kB labels.
// Their files are written into `folder`.
std::vector<Record> EveryKind(const clinora::testing::TempFolder& folder);

// How many records the scale tests make: fewer under the sanitizers, or as
// CLINORA_RECORDS_COUNT says.
int ScaleCount(int normal);

}  // namespace clinora::records::samples
