#include "app/history_model.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "link/number_text.h"
#include "records/canonical_json.h"
#include "records/record.h"
#include "records/record_text.h"
#include "records/utc_time.h"

namespace clinora {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string KindText(const std::string& kind) { return kind.empty() ? "?" : kind; }

}  // namespace

HistoryFilter MakeHistoryFilter(const HistoryFilterInput& input) {
    HistoryFilter out;
    records::RecordFilter f;
    f.serial = Trimmed(input.serial);
    f.address = Trimmed(input.address);
    if (!AllDigits(f.address)) {
        out.error = "An address is a number, such as 101.";
        return out;
    }
    const std::string from = Trimmed(input.from), to = Trimmed(input.to);
    if (!from.empty()) {
        const auto bound = records::TimeBound(from, false);
        if (!bound) {
            out.error = "The From date is not a date (YYYY-MM-DD): " + from;
            return out;
        }
        f.since = *bound;
    }
    if (!to.empty()) {
        const auto bound = records::TimeBound(to, true);
        if (!bound) {
            out.error = "The To date is not a date (YYYY-MM-DD): " + to;
            return out;
        }
        f.until = *bound;
    }
    if (!f.since.empty() && !f.until.empty() && f.since >= f.until) {
        out.error = "The From date is after the To date.";
        return out;
    }
    const auto known = std::find_if(kHistoryOutcomes.begin(), kHistoryOutcomes.end(),
                                    [&](const char* o) { return input.outcome == o; });
    if (known == kHistoryOutcomes.end()) {
        out.error = "Unknown outcome: " + input.outcome;
        return out;
    }
    f.outcome = input.outcome;
    out.filter = f;
    return out;
}

std::string LocalTimeOf(const std::string& utc) {
    const std::optional<int64_t> seconds = records::EpochOfUtc(utc);
    if (!seconds) return utc;
    const std::time_t epoch = static_cast<std::time_t>(*seconds);
    std::tm local{};
    if (epoch == static_cast<std::time_t>(-1) || !localtime_r(&epoch, &local)) return utc;
    return FormatInt(local.tm_year + 1900, 4) + "-" + FormatInt(local.tm_mon + 1, 2) + "-" +
           FormatInt(local.tm_mday, 2) + " " + FormatInt(local.tm_hour, 2) + ":" +
           FormatInt(local.tm_min, 2) + ":" + FormatInt(local.tm_sec, 2);
}

std::string HistoryCell(const HistoryRow& row, int column) {
    switch (column) {
        case 0: return row.time;
        case 1: return row.imported ? row.kind + " (imported)" : row.kind;
        case 2: return row.serial;
        case 3: return row.address;
        case 4: return row.axis;
        case 5: return row.outcome;
        case 6: return row.station;
        case 7: return row.file;
        default: return {};
    }
}

records::RecordFilter BoardKey::filter() const {
    records::RecordFilter f;
    if (!serial.empty())
        f.serial = serial;
    else
        f.address = address;
    f.withContent = true;
    return f;
}

std::optional<BoardKey> BoardOf(const HistoryRow& row) {
    BoardKey key;
    if (!row.serial.empty() && row.serial != records::kUnknown) {
        key.serial = row.serial;
        key.caption = "Board " + row.serial;
        return key;
    }
    if (row.address.empty()) return std::nullopt;
    key.address = row.address;
    key.caption = "Address " + row.address + " (serial number unknown)";
    return key;
}

BoardTimeline MakeTimeline(const std::vector<records::StoredRecord>& rows) {
    BoardTimeline out;
    struct Calibration {
        std::string time;
        records::ConstantSet constants;
        std::string axis;
    };
    std::vector<Calibration> calibrations;
    std::vector<records::StoredRecord> ordered = rows;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.columns.time < b.columns.time; });
    for (const records::StoredRecord& row : ordered) {
        TimelineEntry entry{LocalTimeOf(row.columns.time), KindText(row.columns.kind),
                            row.columns.outcome, {}, row.columns.file, row.columns.station};
        try {
            const records::Record r = records::RecordFromContent(row.content);
            entry.detail = r.detail;
            if (r.kind == records::RecordKind::Calibration && r.constants)
                calibrations.push_back({entry.time, *r.constants, r.axis});
        } catch (const records::JsonError&) {
            entry.detail = "the record's content cannot be read";
        }
        out.entries.push_back(std::move(entry));
    }
    if (calibrations.empty()) {
        out.note = "No calibration of this board is recorded.";
        return out;
    }
    // The calibrations of the axis calibrated last.
    out.axis = calibrations.back().axis;
    std::erase_if(calibrations, [&](const Calibration& c) { return c.axis != out.axis; });
    if (calibrations.size() < 2) {
        out.note = "One calibration of axis " + out.axis + ": no change to show yet.";
        return out;
    }
    for (const Calibration& c : calibrations) out.calibrations.push_back(c.time);
    const bool axisB = out.axis == "B";
    const auto values = [axisB](const records::ConstantSet& c) {
        const auto& terms = axisB ? c.b : c.a;
        std::vector<double> v(terms.begin(), terms.end());
        v.push_back(axisB ? c.bCrossLinear : c.aCrossLinear);
        v.push_back(axisB ? c.bCrossQuadratic : c.aCrossQuadratic);
        return v;
    };
    const std::string prefix = axisB ? "B" : "A";
    const std::vector<std::string> names = {prefix + "0", prefix + "1", prefix + "2",
                                            prefix + "3", prefix + "4", prefix + "5",
                                            prefix + " Cross Axis", prefix + " Cross Axis X2"};
    for (size_t k = 0; k < names.size(); ++k) {
        ConstantChange change{names[k], {}};
        bool moved = false;
        for (size_t i = 1; i < calibrations.size(); ++i) {
            const double before = values(calibrations[i - 1].constants)[k];
            const double after = values(calibrations[i].constants)[k];
            moved = moved || after != before;
            if (before == 0 || !std::isfinite(before) || !std::isfinite(after))
                change.percent.push_back(std::nullopt);
            else
                change.percent.push_back(100.0 * (after - before) / std::fabs(before));
        }
        if (moved) out.changes.push_back(std::move(change));
    }
    if (out.changes.empty()) out.note = "The constants did not change between calibrations.";
    return out;
}

void HistoryModel::setRows(const std::vector<records::StoredRecord>& rows) {
    stored_ = rows;
    std::stable_sort(stored_.begin(), stored_.end(),
                     [](const auto& a, const auto& b) { return a.columns.time > b.columns.time; });
    rows_.clear();
    for (const records::StoredRecord& r : stored_) {
        const records::IndexColumns& c = r.columns;
        rows_.push_back({r.uuid, LocalTimeOf(c.time), KindText(c.kind), c.serial, c.address,
                         c.axis, c.outcome, c.station, c.file, c.imported != 0});
    }
}

std::string HistoryModel::csv() const { return records::ListingCsv(stored_); }

std::string HistoryModel::countText() const {
    return rows_.size() == 1 ? "1 record" : std::to_string(rows_.size()) + " records";
}

}  // namespace clinora
