#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/device_record.h"
#include "records/canonical_json.h"

namespace clinora::records {

// What a record tells of: a calibration or a calibration test of one board, or
// a file's constants moved to (upload), compared with (verify) or read for
// (read) one board.
enum class RecordKind { Calibration, Test, Upload, Verify, Read };

std::string_view KindName(RecordKind kind);  // "calibration", "test", ...
std::optional<RecordKind> KindFromName(std::string_view name);

// What is recorded where a value is not known (a board that did not answer).
inline constexpr const char* kUnknown = "unknown";

// Outcomes.
inline constexpr const char* kOutcomeCalibrated = "calibrated";
inline constexpr const char* kOutcomePass = "pass";
inline constexpr const char* kOutcomeFail = "fail";
inline constexpr const char* kOutcomeSuccess = "success";
inline constexpr const char* kOutcomeFailure = "failure";

// A board as it told its identity (or "unknown" for what it did not tell).
struct BoardIdentity {
    std::string address;
    std::string serial = kUnknown;
    std::string firmware = kUnknown;       // "1.500"
    std::string boardRevision = kUnknown;  // "2.000"
    bool operator==(const BoardIdentity&) const = default;
};

// A file a record points at: its name in the working folder and SHA-256.
struct FileRef {
    std::string name;
    std::string sha256;
    bool operator==(const FileRef&) const = default;
};

// How a calibration or test run was made.
struct RunSetup {
    std::string operatorName;
    FileRef promptFile;
    int tiltRange = 15;
    int positions = 0;  // per sweep
    bool averaging = false;
    int averageNum = 0;
    double toleranceCal = 0;   // range check at Accept of a calibration
    double toleranceTest = 0;  // and of a test
    bool rangeCheck = true;
    bool negate = false;     // the fit's sign for the axis
    std::string start, end;  // UTC
    bool operator==(const RunSetup&) const = default;
};

enum class Sweep { First, Return };
std::string_view SweepName(Sweep sweep);  // "first", "return"

// One accepted position of a run: the reading of the axis calibrated (volts
// for a calibration, calibrated sine for a test), the companion value the
// fit used (0 as the pages store it), the other axis's reading and the
// board's temperature at Accept when the page gave them.
struct AcceptedReading {
    int row = 0;  // prompt row
    Sweep sweep = Sweep::First;
    int slot = 0;
    std::string label;  // "A Axis,+15 deg"
    double angle = 0;   // nominal, degrees
    double reading = 0;
    double companion = 0;
    std::optional<double> otherAxis, temperature;
    bool operator==(const AcceptedReading&) const = default;
};

// Both axes' constants: A0..A5 (constant term first), the two cross-axis
// terms, then the same for B.
struct ConstantSet {
    std::array<double, 6> a{}, b{};
    double aCrossLinear = 0, aCrossQuadratic = 0, bCrossLinear = 0, bCrossQuadratic = 0;
    bool operator==(const ConstantSet&) const = default;

    static ConstantSet Of(const DeviceRecord& record);
    // Every value rounded to single precision, as a board holds it.
    ConstantSet single() const;
};

// A fit's residual at one prompted angle, degrees; limits as distances.
struct ResidualRow {
    Sweep sweep = Sweep::First;
    int slot = 0;
    double angle = 0;
    double residual = 0;
    std::optional<double> low, high;
    bool operator==(const ResidualRow&) const = default;
};

// One prompted position of a calibration test.
struct TestRow {
    int row = 0;
    Sweep sweep = Sweep::First;
    int slot = 0;
    std::string label;
    double angle = 0;     // prompted, degrees
    double expected = 0;  // the sine the board should report (the row's test target)
    double reading = 0;
    double deviation = 0;             // reading - expected
    std::optional<double> low, high;  // the row's test limits (readings strictly between pass)
    std::optional<bool> inside;       // unknown without limits
    std::optional<double> otherAxis, temperature;
    bool operator==(const TestRow&) const = default;
};

// One record. Which members are filled depends on the kind; the rest stay empty.
struct Record {
    std::string uuid;
    RecordKind kind = RecordKind::Calibration;
    std::string time;  // UTC, when the event ended
    std::string station;
    std::string program;  // "Clinora Host 1.02"
    bool imported = false;
    std::string follows;  // the calibration record an upload or verify follows
    std::string run;      // shared by the boards of one calibration or test run
    BoardIdentity board;
    std::string axis;  // "A", "B" or "A+B"
    FileRef file;      // data file, test file, or the file uploaded / verified / read
    std::string outcome;
    std::string detail;  // the outcome in words

    std::optional<RunSetup> setup;          // calibration, test
    std::vector<AcceptedReading> readings;  // calibration
    std::optional<ConstantSet> constants;   // calibration; upload, verify, read (the file's)
    std::optional<ConstantSet> constantsSingle;
    std::vector<ResidualRow> residuals;  // calibration
    std::optional<double> largestResidual, largestResidualSingle;
    std::vector<TestRow> testRows;  // test

    bool operator==(const Record&) const = default;
};

// The record as JSON, and back (throws JsonError naming what is wrong).
Json ToJson(const Record& record);
Record RecordFromJson(const Json& json);
// The canonical content text of a record.
std::string ContentOf(const Record& record);
Record RecordFromContent(std::string_view content);

}  // namespace clinora::records
