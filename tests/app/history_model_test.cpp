#include "app/history_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "records/record.h"

namespace clinora {
namespace {

using records::Record;
using records::RecordKind;
using records::StoredRecord;

class HistoryModelTest : public ::testing::Test {
protected:
    // Local time is UTC here, so the table's times are known.
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) oldTz_ = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        oldTz_ ? setenv("TZ", oldTz_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

    // A stored record of board `serial` at `address`.
    StoredRecord Stored(RecordKind kind, const std::string& time, const std::string& serial,
                        const std::string& address, const std::string& axis = "A",
                        std::optional<records::ConstantSet> constants = std::nullopt) {
        Record r;
        const std::string number = std::to_string(++n_);
        r.uuid = "00000000-0000-4000-8000-" + std::string(12 - number.size(), '0') + number;
        r.kind = kind;
        r.time = time;
        r.station = "Bench 2";
        r.board.address = address;
        r.board.serial = serial;
        r.axis = axis;
        r.outcome = kind == RecordKind::Calibration ? "calibrated" : "success";
        r.detail = "detail " + std::to_string(n_);
        r.file = {"file" + std::to_string(n_) + ".csv", "ab"};
        r.constants = constants;
        return records::Chained(r, "chain", n_ - 1, records::kNoPrevious);
    }
    static records::ConstantSet Constants(double a0, double a1, double cross = 0) {
        records::ConstantSet c;
        c.a = {a0, a1, 0.5, 0, 0, 0};
        c.aCrossLinear = cross;
        return c;
    }

private:
    int n_ = 0;
    std::optional<std::string> oldTz_;
};

TEST_F(HistoryModelTest, TheFilterTakesWhatWasTypedAndRefusesWhatCannotBe) {
    struct Case {
        HistoryFilterInput input;
        std::string error;  // empty: accepted
        records::RecordFilter filter;
    };
    const Case cases[] = {
        {{" ZC-000417 ", " 101 ", "", "", "pass"}, "", {.serial = "ZC-000417", .address = "101",
                                                       .outcome = "pass"}},
        {{"", "", "2025-01-31", "2025-01-31", ""},
         "",
         {.since = "2025-01-31T00:00:00.000Z", .until = "2025-02-01T00:00:00.000Z"}},
        {{"", "10a", "", "", ""}, "An address is a number, such as 101.", {}},
        {{"", "", "31.01.2025", "", ""}, "The From date is not a date (YYYY-MM-DD): 31.01.2025", {}},
        {{"", "", "", "tomorrow", ""}, "The To date is not a date (YYYY-MM-DD): tomorrow", {}},
        {{"", "", "2025-02-01", "2025-01-31", ""}, "The From date is after the To date.", {}},
        {{"", "", "", "", "'); DROP TABLE records; --"},
         "Unknown outcome: '); DROP TABLE records; --",
         {}},
    };
    for (const Case& c : cases) {
        const HistoryFilter made = MakeHistoryFilter(c.input);
        EXPECT_EQ(made.error, c.error) << c.input.serial << c.input.from;
        ASSERT_EQ(made.filter.has_value(), c.error.empty());
        if (!made.filter) continue;
        EXPECT_EQ(made.filter->serial, c.filter.serial);
        EXPECT_EQ(made.filter->address, c.filter.address);
        EXPECT_EQ(made.filter->since, c.filter.since);
        EXPECT_EQ(made.filter->until, c.filter.until);
        EXPECT_EQ(made.filter->outcome, c.filter.outcome);
    }
}

TEST_F(HistoryModelTest, RowsAreNewestFirstAndABoardIsKnownByItsSerialElseItsAddress) {
    HistoryModel model;
    model.setRows({Stored(RecordKind::Upload, "2025-01-02T10:00:00.000Z", "ZC-1", "101"),
                   Stored(RecordKind::Test, "2025-03-04T05:06:07.890Z", "unknown", "102"),
                   Stored(RecordKind::Calibration, "2024-12-31T23:59:59.999Z", "ZC-1", "101")});
    ASSERT_EQ(model.rows().size(), 3u);
    EXPECT_EQ(model.countText(), "3 records");
    const char* newest[] = {"2025-03-04 05:06:07", "test",    "unknown",  "102",
                            "A",                   "success", "Bench 2", "file2.csv"};
    for (int c = 0; c < 8; ++c) EXPECT_EQ(HistoryCell(model.rows()[0], c), newest[c]) << c;
    EXPECT_EQ(model.rows()[1].time, "2025-01-02 10:00:00");
    EXPECT_EQ(model.rows()[2].kind, "calibration");

    const auto known = BoardOf(model.rows()[1]);
    ASSERT_TRUE(known);
    EXPECT_EQ(known->caption, "Board ZC-1");
    EXPECT_EQ(known->filter().serial, "ZC-1");
    EXPECT_TRUE(known->filter().address.empty());
    const auto unknown = BoardOf(model.rows()[0]);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->caption, "Address 102 (serial number unknown)");
    EXPECT_EQ(unknown->filter().address, "102");
    EXPECT_TRUE(unknown->filter().withContent);
    EXPECT_EQ(LocalTimeOf("not a time"), "not a time");
}

TEST_F(HistoryModelTest, ATimelineShowsEveryEventAndTheChangeOfEachConstant) {
    struct Case {
        const char* what;
        std::vector<StoredRecord> rows;
        size_t entries;
        std::vector<std::pair<std::string, std::vector<std::optional<double>>>> changes;
        std::string note;
    };
    const auto cal = [&](const char* time, const char* axis, records::ConstantSet c) {
        return Stored(RecordKind::Calibration, time, "ZC-1", "101", axis, c);
    };
    const Case cases[] = {
        {"three calibrations, a test and an upload",
         {cal("2025-03-01T00:00:00.000Z", "A", Constants(0.1, 2.0)),
          Stored(RecordKind::Test, "2025-01-01T01:00:00.000Z", "ZC-1", "101"),
          cal("2025-01-01T00:00:00.000Z", "A", Constants(0.1, 1.0)),
          cal("2025-02-01T00:00:00.000Z", "A", Constants(0.2, 1.0, 0.3)),
          Stored(RecordKind::Upload, "2025-02-01T00:05:00.000Z", "ZC-1", "101")},
         5, {{"A0", {100.0, -50.0}}, {"A1", {0.0, 100.0}}, {"A Cross Axis", {std::nullopt, -100.0}}},
         ""},
        {"calibrations of the other axis are not compared",
         {cal("2025-01-01T00:00:00.000Z", "B", Constants(0.1, 1.0)),
          cal("2025-02-01T00:00:00.000Z", "A", Constants(0.2, 1.0))},
         2, {}, "One calibration of axis A: no change to show yet."},
        {"the same constants twice",
         {cal("2025-01-01T00:00:00.000Z", "A", Constants(0.1, 1.0)),
          cal("2025-02-01T00:00:00.000Z", "A", Constants(0.1, 1.0))},
         2, {}, "The constants did not change between calibrations."},
        {"no calibration", {Stored(RecordKind::Verify, "2025-01-01T00:00:00.000Z", "ZC-1", "101")},
         1, {}, "No calibration of this board is recorded."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BoardTimeline t = MakeTimeline(c.rows);
        ASSERT_EQ(t.entries.size(), c.entries);
        EXPECT_TRUE(std::is_sorted(t.entries.begin(), t.entries.end(),
                                   [](const auto& a, const auto& b) { return a.time < b.time; }));
        EXPECT_EQ(t.note, c.note);
        ASSERT_EQ(t.changes.size(), c.changes.size());
        for (size_t k = 0; k < c.changes.size(); ++k) {
            EXPECT_EQ(t.changes[k].name, c.changes[k].first);
            ASSERT_EQ(t.changes[k].percent.size(), c.changes[k].second.size());
            for (size_t i = 0; i < c.changes[k].second.size(); ++i) {
                ASSERT_EQ(t.changes[k].percent[i].has_value(), c.changes[k].second[i].has_value());
                EXPECT_NEAR(t.changes[k].percent[i].value_or(0), c.changes[k].second[i].value_or(0),
                            1e-9);
            }
        }
    }
    const BoardTimeline first = MakeTimeline(cases[0].rows);
    EXPECT_EQ(first.entries[0].kind, "calibration");
    EXPECT_EQ(first.entries[1].kind, "test");
    EXPECT_EQ(first.entries[1].detail, "detail 2");
    EXPECT_EQ(first.calibrations.size(), 3u);
}

}  // namespace
}  // namespace clinora
