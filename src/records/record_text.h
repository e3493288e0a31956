#pragma once

#include <string>
#include <vector>

#include "records/record_chain.h"

namespace clinora::records {

// A listing of records (as RecordStore::list gives them) for people and
// programs: an aligned table, CSV (RFC 4180 quoting) or a JSON array with one
// object per record and line.
std::string ListingTable(const std::vector<StoredRecord>& rows);
std::string ListingCsv(const std::vector<StoredRecord>& rows);
std::string ListingJson(const std::vector<StoredRecord>& rows);

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

// Everything a record holds, as text for a person (`records show`).
std::string DescribeRecord(const StoredRecord& row);

}  // namespace clinora::records
