#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "records/record_chain.h"
#include "records/record_store.h"

namespace clinora {

// The History window's rules: the filter as typed, the table of records,
// a board's timeline and the change of its constants from one calibration
// to the next. Qt-free; the window renders it and runs the queries it asks
// for on the records thread.

// The outcomes the filter offers; the first ("") takes any.
inline constexpr std::array<const char*, 7> kHistoryOutcomes = {
    "", "calibrated", "pass", "fail", "success", "failure", "unknown"};

// The filter as the user set it: texts, and dates "YYYY-MM-DD" (local
// calendar days, both included) or empty for no bound.
struct HistoryFilterInput {
    std::string serial, address, from, to, outcome;
};

// The filter for the store, or what is wrong with the input.
struct HistoryFilter {
    std::optional<records::RecordFilter> filter;
    std::string error;
};
HistoryFilter MakeHistoryFilter(const HistoryFilterInput& input);

// One row of the table, as shown.
struct HistoryRow {
    std::string uuid;
    std::string time;  // local, "2025-01-02 03:04:05"
    std::string kind, serial, address, axis, outcome, station, file;
    bool imported = false;
};
inline constexpr std::array<const char*, 8> kHistoryColumns = {
    "Time", "Kind", "Serial", "Address", "Axis", "Outcome", "Station", "File"};
std::string HistoryCell(const HistoryRow& row, int column);

// A record time (UTC, ISO 8601) as local time for the table; the text as
// it is when it is not such a time.
std::string LocalTimeOf(const std::string& utc);

// Which records a board's timeline takes: by its serial number when the
// board told it, else by its address (boards that shared an address then
// share the timeline, which the caption says).
struct BoardKey {
    std::string serial, address;
    std::string caption;  // "Board ZC-000417" or "Address 102 (serial number unknown)"
    records::RecordFilter filter() const;
};
std::optional<BoardKey> BoardOf(const HistoryRow& row);

// One event of a board's timeline, oldest first.
struct TimelineEntry {
    std::string time;  // local
    std::string kind, outcome, detail, file, station;
};

// The change of one constant between consecutive calibrations of the same
// axis: point i compares calibration i + 1 with calibration i, in percent
// of the earlier value (nothing where that was 0).
struct ConstantChange {
    std::string name;  // "A0" ... "A5", "A Cross Axis", "A Cross Axis X2"
    std::vector<std::optional<double>> percent;
};

// A board's timeline made from its records (with content, any order).
struct BoardTimeline {
    std::vector<TimelineEntry> entries;
    std::vector<std::string> calibrations;  // local times of the calibrations compared
    std::string axis;                       // of the calibrations compared
    std::vector<ConstantChange> changes;    // constants that changed at least once
    std::string note;                       // why there is no chart, when there is none
};
BoardTimeline MakeTimeline(const std::vector<records::StoredRecord>& rows);

// What the window shows: the rows of the last listing, newest first, where
// they came from, and the note of a fallback.
class HistoryModel {
public:
    void setRows(const std::vector<records::StoredRecord>& rows);
    const std::vector<HistoryRow>& rows() const { return rows_; }
    const std::vector<records::StoredRecord>& stored() const { return stored_; }
    // The listing for export: the filtered rows as the command-line tool
    // writes them with --format csv.
    std::string csv() const;
    // "12 records" / "1 record".
    std::string countText() const;

private:
    std::vector<records::StoredRecord> stored_;
    std::vector<HistoryRow> rows_;
};

}  // namespace clinora
