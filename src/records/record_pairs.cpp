#include "records/record_pairs.h"

#include <algorithm>

#include "records/canonical_json.h"
#include "records/record_store.h"

namespace clinora::records {

namespace {

bool Known(const std::string& serial) { return !serial.empty() && serial != kUnknown; }

// The records a filter takes, with their content; one that cannot be read is
// left out (records check names it).
std::vector<Record> Load(RecordStore& store, RecordFilter filter) {
    filter.withContent = true;
    std::vector<Record> out;
    for (const StoredRecord& row : store.list(filter)) {
        try {
            out.push_back(RecordFromContent(row.content));
        } catch (const JsonError&) {
        }
    }
    return out;
}

std::vector<Record> OfSerial(RecordStore& store, const std::string& serial, RecordKind kind) {
    if (!Known(serial)) return {};
    return Load(store, {.serial = serial, .kind = kind});
}

// The calibrations a test may have checked: those of its serial number and
// the one it names.
std::vector<Record> CandidatesFor(RecordStore& store, const Record& test) {
    std::vector<Record> out = OfSerial(store, test.board.serial, RecordKind::Calibration);
    const bool named = std::any_of(out.begin(), out.end(),
                                   [&](const Record& c) { return c.uuid == test.follows; });
    if (!test.follows.empty() && !named) {
        if (auto row = store.find(test.follows)) {
            try {
                out.push_back(RecordFromContent(row->content));
            } catch (const JsonError&) {
            }
        }
    }
    return out;
}

std::string Untested(const Record& calibration) {
    return "No certificate for " + BoardName(calibration) + ": its calibration of " +
           calibration.time + " has no test record";
}

std::string Uncalibrated(const Record& test) {
    return "No certificate for " + BoardName(test) + ": no calibration record for its test of " +
           test.time;
}

// The newest test of `calibration` among `tests` (newest first).
const Record* NewestTestOf(const Record& calibration, const std::vector<Record>& tests,
                           const std::vector<Record>& calibrations) {
    for (const Record& t : tests) {
        const Record* c = CalibrationOfTest(t, calibrations);
        if (c && c->uuid == calibration.uuid) return &t;
    }
    return nullptr;
}

void PlanRecord(RecordStore& store, const std::string& id, PairPlan& plan) {
    const auto row = store.find(id);
    if (!row) {
        plan.refusals.push_back("No record " + id);
        return;
    }
    Record record;
    try {
        record = RecordFromContent(row->content);
    } catch (const JsonError& e) {
        plan.refusals.push_back("Record " + id + " cannot be read: " + e.what());
        return;
    }
    if (record.kind == RecordKind::Test) {
        const std::vector<Record> calibrations = CandidatesFor(store, record);
        if (const Record* c = CalibrationOfTest(record, calibrations))
            plan.pairs.push_back({*c, record});
        else
            plan.refusals.push_back(Uncalibrated(record));
        return;
    }
    if (record.kind != RecordKind::Calibration) {
        plan.refusals.push_back("Record " + record.uuid + " is a record of " +
                                std::string(KindName(record.kind)) +
                                ": certificates are made from a calibration and its test");
        return;
    }
    // The tests of this board: by its serial number, or (without one) among
    // the records of unknown boards, where only a test naming it pairs.
    std::vector<Record> tests =
        Load(store, {.serial = Known(record.board.serial) ? record.board.serial : kUnknown,
                     .kind = RecordKind::Test});
    std::vector<Record> calibrations = OfSerial(store, record.board.serial, RecordKind::Calibration);
    if (calibrations.empty()) calibrations.push_back(record);
    if (const Record* t = NewestTestOf(record, tests, calibrations))
        plan.pairs.push_back({record, *t});
    else
        plan.refusals.push_back(Untested(record));
}

void PlanSerial(RecordStore& store, const CertificateRequest& request, PairPlan& plan) {
    const std::vector<Record> calibrations =
        Load(store, {.serial = request.serial, .kind = RecordKind::Calibration});
    const std::vector<Record> tests =
        Load(store, {.serial = request.serial, .kind = RecordKind::Test});
    if (calibrations.empty() && tests.empty()) {
        plan.refusals.push_back("No calibration or test records of serial number " +
                                request.serial);
        return;
    }
    // Newest first, as listed.
    std::vector<RecordPair> pairs;
    for (const Record& t : tests) {
        if (const Record* c = CalibrationOfTest(t, calibrations))
            pairs.push_back({*c, t});
        else
            plan.refusals.push_back(Uncalibrated(t));
    }
    for (const Record& c : calibrations) {
        const bool tested = std::any_of(pairs.begin(), pairs.end(), [&](const RecordPair& p) {
            return p.calibration.uuid == c.uuid;
        });
        // With --latest only a calibration newer than the newest pair matters.
        const bool newer = pairs.empty() || c.time > pairs.front().calibration.time;
        if (!tested && (!request.latest || newer)) plan.refusals.push_back(Untested(c));
    }
    if (request.latest && pairs.size() > 1) pairs.resize(1);
    if (request.latest)
        std::erase_if(plan.refusals, [](const std::string& r) {
            return r.find("no calibration record for its test") != std::string::npos;
        });
    std::reverse(pairs.begin(), pairs.end());
    for (RecordPair& p : pairs) plan.pairs.push_back(std::move(p));
}

}  // namespace

std::string BoardName(const Record& record) {
    return "board " + (Known(record.board.serial) ? record.board.serial : "of unknown serial number") +
           " at address " + (record.board.address.empty() ? "?" : record.board.address);
}

const Record* CalibrationOfTest(const Record& test, const std::vector<Record>& calibrations) {
    const Record* best = nullptr;
    for (const Record& c : calibrations) {
        if (c.kind != RecordKind::Calibration) continue;
        if (!test.follows.empty() && c.uuid == test.follows) return &c;
        const bool candidate = Known(test.board.serial) && c.board.serial == test.board.serial &&
                               c.axis == test.axis && c.time <= test.time;
        if (candidate && (!best || c.time > best->time)) best = &c;
    }
    return best;
}

PairPlan PlanPairs(RecordStore& store, const CertificateRequest& request) {
    PairPlan plan;
    plan.source = store.where();
    if (request.records.empty() && !request.serial.empty()) {
        PlanSerial(store, request, plan);
        return plan;
    }
    for (const std::string& id : request.records) PlanRecord(store, id, plan);
    return plan;
}

}  // namespace clinora::records
