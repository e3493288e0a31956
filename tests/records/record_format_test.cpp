// The records on their own: canonical form, every kind back from its content,
// the builders, the chain check and reading files for an import.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "record_samples.h"
#include "records/cal_file_import.h"
#include "records/canonical_json.h"
#include "records/digest.h"
#include "records/record_builders.h"
#include "records/record_chain.h"
#include "records/record_text.h"
#include "records/sample_runs.h"
#include "records/utc_time.h"
#include "temp_folder.h"

namespace clinora::records {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

using samples::EveryKind;
using samples::kStation;

bool ValidUtf8WithoutNul(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = s[i] == '\0' ? 0 : Utf8SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

TEST(CanonicalJson, TextsComeBackByteForByteAndTheFormIsStable) {
    const std::string texts[] = {
        "plain",
        "quote \" and back \\ slash",
        std::string("NUL \0 inside", 12),
        "controls \x01\x1f\t\r\n",
        "UTF-8 \xC3\x84 \xE2\x82\xAC \xF0\x9D\x84\x9E",
        "Latin-1 bytes \xB0\xE9 and a cut sequence \xE2\x82",
        "surrogate bytes \xED\xA0\x80 and \xF4\x90\x80\x80 beyond U+10FFFF",
        "'); DROP TABLE records; --",
        std::string(10240, 'L'),
    };
    for (const std::string& text : texts) {
        const Json object = Json::Object{{"b", text}, {"a", Json::Array{text, 1, true}}};
        const std::string canonical = Canonical(object);
        EXPECT_TRUE(ValidUtf8WithoutNul(canonical)) << canonical;
        const Json back = ParseJson(canonical);
        EXPECT_EQ(back, object) << canonical;
        EXPECT_EQ(Canonical(back), canonical);
    }
    // Key order and blanks do not matter to the canonical form.
    EXPECT_EQ(Canonical(ParseJson(R"( { "z" : 1 , "a" : [ 2 , 3 ] } )")), R"({"a":[2,3],"z":1})");
}

TEST(CanonicalJson, NumbersComeBackExactly) {
    const double numbers[] = {0.1,     -0.0,      1e300,   5e-324, 123456789012345678.0,
                              -2.4e-6, 0.1 + 0.2, 1.0 / 3, 3.0,    static_cast<float>(0.1)};
    for (const double x : numbers) {
        const double back = ParseJson(Canonical(Json(x))).number("x");
        EXPECT_EQ(std::memcmp(&back, &x, sizeof x), 0) << Canonical(Json(x));
    }
    EXPECT_TRUE(std::isnan(ParseJson(Canonical(Json(std::nan("")))).number("x")));
    EXPECT_EQ(ParseJson(Canonical(Json(-INFINITY))).number("x"), -INFINITY);
}

TEST(CanonicalJson, HostileTextsAreRefusedWithWords) {
    const std::string bad[] = {
        "",        "{",        "[1,]", R"({"a":1,"a":2})", R"("\ud800")", std::string(100, '['),
        "1e99999", "\"\x01\"", "tru",  "\"\xFF\"",         "{} x",        R"({"a":"\u12")",
    };
    for (const std::string& text : bad) {
        EXPECT_THROW(ParseJson(text), JsonError) << text;
    }
}

TEST(RecordContent, EveryKindComesBackFromItsContent) {
    TempFolder folder;
    for (const Record& record : EveryKind(folder)) {
        const std::string content = ContentOf(record);
        EXPECT_TRUE(ValidUtf8WithoutNul(content));
        EXPECT_EQ(RecordFromContent(content), record) << content.substr(0, 200);
        // Shown to a person, no control character reaches the terminal.
        const std::string shown = DescribeRecord(Chained(record, "chain", std::nullopt));
        EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](char c) {
            return c != '\n' && static_cast<unsigned char>(c) < 0x20;
        })) << shown.substr(0, 300);
    }
    EXPECT_THROW(RecordFromContent(R"({"format":2})"), JsonError);  // a newer program's
    EXPECT_THROW(RecordFromContent(R"({"format":1,"uuid":7})"), JsonError);
}

TEST(RecordBuilders, CalibrationRecordHoldsTheRunAndItsFile) {
    TempFolder folder;
    const SampleRun run = MakeSampleRun(folder.path(), 1, 101, 3, kStation);
    const Record& r = run.calibrations.at(0);
    EXPECT_EQ(r.kind, RecordKind::Calibration);
    EXPECT_TRUE(LooksLikeUuid(r.uuid) && r.uuid[14] == '4') << r.uuid;
    EXPECT_EQ(r.board.serial, "ZC-000101");
    EXPECT_EQ(r.board.firmware, "1.500");
    EXPECT_EQ(r.file.name, "00101_CAL_DATA_AXIS_A_01-04-20.csv");
    EXPECT_EQ(r.file.sha256, Sha256Hex(ReadBytes(folder / r.file.name)));
    // Both sweeps in the order accepted: slot 0 (row 13, +15 deg) first.
    ASSERT_EQ(r.readings.size(), 14u);
    EXPECT_EQ(r.readings[0].row, 13);
    EXPECT_EQ(r.readings[0].label, "A Axis,+15 deg");
    EXPECT_EQ(r.readings[0].angle, 15);
    EXPECT_EQ(r.readings[7].sweep, Sweep::Return);
    EXPECT_EQ(r.readings[7].row, 6);
    EXPECT_EQ(r.readings[13].label, "A Axis,+15 deg");
    EXPECT_TRUE(r.readings[3].otherAxis && r.readings[3].temperature);
    // Constants as fitted and as the board will hold them.
    ASSERT_TRUE(r.constants && r.constantsSingle);
    EXPECT_NE(r.constants->a[1], 0);
    EXPECT_EQ(r.constantsSingle->a[1], static_cast<float>(r.constants->a[1]));
    ASSERT_EQ(r.residuals.size(), 14u);
    double largest = 0;
    for (const ResidualRow& row : r.residuals) largest = std::max(largest, std::fabs(row.residual));
    EXPECT_DOUBLE_EQ(*r.largestResidual, largest);
    EXPECT_LT(largest, 0.05);
    EXPECT_EQ(r.run, run.calibrations.at(0).run);
}

TEST(RecordBuilders, TestVerdicts) {
    TempFolder folder;
    const SampleRun run = MakeSampleRun(folder.path(), 2, 101, 5, kStation, 102);
    const Record& pass = run.tests[0];
    EXPECT_EQ(pass.outcome, kOutcomePass);
    EXPECT_EQ(pass.detail, "within the limits at every position (14)");
    ASSERT_EQ(pass.testRows.size(), 14u);
    const TestRow& row = pass.testRows[0];
    EXPECT_NEAR(row.expected, 0.258819, 1e-6);
    EXPECT_DOUBLE_EQ(row.deviation, row.reading - row.expected);
    EXPECT_TRUE(row.inside && *row.inside);
    EXPECT_EQ(run.tests[0].run, run.tests[1].run);
    EXPECT_EQ(run.tests[0].follows, run.calibrations[0].uuid);  // what a certificate joins on

    const Record& fail = run.tests[1];
    EXPECT_EQ(fail.outcome, kOutcomeFail);
    EXPECT_EQ(fail.detail, "outside the limits at 1 of 14 positions: A Axis,+15 deg (first sweep)");

    // Without the prompt rows nothing can be judged.
    DeviceRecord device;
    device.aFirstMain[0] = 0.25;
    RunSetup setup;
    setup.positions = 7;
    const Record unknown =
        BuildTestRecord(NewRun(kStation, 0, setup), UnknownBoard("7"), device, {}, {"t.csv", ""});
    EXPECT_EQ(unknown.outcome, kUnknown);
    EXPECT_EQ(unknown.board.serial, kUnknown);
    EXPECT_NEAR(unknown.testRows[0].expected, std::sin(15 * std::numbers::pi / 180), 1e-12);
}

// A chain of five records, then one change each: the check names the record.
TEST(ChainCheck, NamesTheFirstRecordChangedMovedOrRemoved) {
    TempFolder folder;
    std::vector<StoredRecord> chain;
    for (const Record& r : EveryKind(folder))
        if (chain.size() < 5)
            chain.push_back(
                Chained(r, "chain-1", chain.empty() ? std::nullopt : std::optional(chain.back())));
    const ChainHead head{"chain-1", 5, chain[4].hash, chain[4].uuid};
    struct Case {
        const char* what;
        std::function<void(std::vector<StoredRecord>&)> change;
        int named;  // index of the record named; -1: none
        const char* words;
    };
    const Case cases[] = {
        {"intact", [](auto&) {}, -1, ""},
        {"a byte of content", [](auto& c) { c[2].content[c[2].content.find("\"kind\":\"") + 8]++; },
         2, "cannot be read"},
        {"a number in content",
         [](auto& c) {
             const size_t at = c[2].content.find("\"detail\":\"") + 10;
             c[2].content.insert(at, " ");
         },
         2, "its hash does not match"},
        {"a column", [](auto& c) { c[1].columns.serial = "ZC-999"; }, 1, "its serial column"},
        {"a middle record removed", [](auto& c) { c.erase(c.begin() + 2); }, 3,
         "record number 3 before it is missing"},
        {"the last record removed", [](auto& c) { c.pop_back(); }, 4, "the last of chain"},
        {"two records swapped",
         [](auto& c) {
             std::swap(c[1].link.seq, c[2].link.seq);
             std::swap(c[1], c[2]);
         },
         2, "its hash does not match"},
        {"a record replaced by a rehashed one",
         [](auto& c) {
             Record r = RecordFromContent(c[3].content);
             r.outcome = "pass";
             c[3] = Chained(r, "chain-1", c[2]);
         },
         4, "the record before it was changed"},
    };
    for (const Case& c : cases) {
        std::vector<StoredRecord> rows = chain;
        c.change(rows);
        ChainChecker checker;
        for (const StoredRecord& row : rows) checker.feed(row);
        const CheckReport report = checker.finish({head});
        if (c.named < 0) {
            EXPECT_FALSE(report.fault) << c.what << ": " << report.fault->text;
            EXPECT_EQ(report.records, 5);
            continue;
        }
        ASSERT_TRUE(report.fault) << c.what;
        EXPECT_EQ(report.fault->uuid, chain[static_cast<size_t>(c.named)].uuid) << c.what;
        EXPECT_NE(report.fault->text.find(c.words), std::string::npos)
            << c.what << ": " << report.fault->text;
    }
}

TEST(CalFileImport, FilesOfTheWritersComeBackAsImportedRecords) {
    TempFolder folder;
    const SampleRun run = MakeSampleRun(folder.path(), 1, 101, 11, kStation);
    const struct {
        const std::string& name;
        const Record& live;
    } files[] = {{run.dataFiles[0], run.calibrations[0]}, {run.testFiles[0], run.tests[0]}};
    for (const auto& f : files) {
        std::string why;
        const auto r = ImportedRecord(folder / f.name, ReadBytes(folder / f.name), kStation, why);
        ASSERT_TRUE(r) << f.name << ": " << why;
        EXPECT_TRUE(r->imported);
        EXPECT_EQ(r->kind, f.live.kind);
        EXPECT_EQ(r->board.address, "101");
        EXPECT_EQ(r->board.serial, kUnknown);
        EXPECT_EQ(r->file, f.live.file);
        EXPECT_EQ(r->setup->tiltRange, 15);
        EXPECT_EQ(r->time, UtcFromLocal({2020, 1, 12, 10, 20, 30}));
        // Readings and constants as the file prints them (six decimals, seven digits).
        const auto& readings =
            r->kind == RecordKind::Test ? r->testRows.size() : r->readings.size();
        EXPECT_EQ(readings, 14u);
        for (size_t i = 0; i < r->readings.size(); ++i) {
            EXPECT_EQ(r->readings[i].row, f.live.readings[i].row);
            EXPECT_EQ(r->readings[i].label, f.live.readings[i].label);
            EXPECT_NEAR(r->readings[i].reading, f.live.readings[i].reading, 5e-7);
        }
        for (size_t i = 0; i < r->testRows.size(); ++i)
            EXPECT_NEAR(r->testRows[i].reading, f.live.testRows[i].reading, 5e-7);
        for (size_t i = 0; i < 6; ++i)
            EXPECT_NEAR(r->constants->a[i], f.live.constants->a[i],
                        std::fabs(f.live.constants->a[i]) * 1e-6);
    }

    const std::string good = ReadBytes(folder / run.dataFiles[0]);
    const struct {
        std::string bytes;
        const char* why;
    } bad[] = {
        {"garbage\x01\x02", "not a calibration data or test file"},
        {good.substr(0, good.find("Face,A+/-")), "no report rows"},
        {good.substr(0, good.find("Calibration Constants")), "no calibration constants"},
        {std::string(good).replace(good.find("Device Address,101"), 18, "Device Address,x"),
         "no device address"},
        {std::string(good).replace(good.find(",1,") + 1, 1, "9"), "out of order"},
        {std::string(good).replace(good.find(",2,") + 3, 4, "abcd"), "holds no row number"},
    };
    for (const auto& b : bad) {
        folder.write("bad.csv", b.bytes);
        std::string why;
        EXPECT_FALSE(ImportedRecord(folder / "bad.csv", b.bytes, kStation, why)) << b.why;
        EXPECT_NE(why.find(b.why), std::string::npos) << why;
    }
}

TEST(UtcTimes, FilterBoundsAndStamps) {
    EXPECT_EQ(UtcFromEpochMs(1700000000123), "2023-11-14T22:13:20.123Z");
    EXPECT_EQ(TimeBound("2024-03-05T09:07Z", false), "2024-03-05T09:07:00.000Z");
    EXPECT_EQ(TimeBound("2024-03-05T09:07:02Z", true), "2024-03-05T09:07:02.000Z");
    // A date is a local day: --until takes the start of the next one.
    EXPECT_EQ(TimeBound("2024-03-05", true), UtcFromLocal({2024, 3, 6, 0, 0, 0}));
    for (const char* bad :
         {"", "2024-3-5", "2024-13-01", "yesterday", "2024-03-05T25:00Z", "2024-03-05T09:07"})
        EXPECT_FALSE(TimeBound(bad, false)) << bad;
}

}  // namespace
}  // namespace clinora::records
