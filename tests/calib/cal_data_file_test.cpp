#include "calib/cal_data_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "calib/nominal_angles.h"
#include "sim/transfer.h"
#include "temp_folder.h"

namespace clinora::calib {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

LocalTimeSource FixedTime(LocalDateTime t) {
    return [t] { return t; };
}
const LocalDateTime kMarch5 = {2024, 3, 5, 9, 7, 2};

// Readings of the golden files: a volts run (calibration files) and a sine run
// (test files) for 7 and 11 positions.
const std::vector<double> kVolts7F = {2.847, 2.674, 2.570, 2.500, 2.430, 2.326, 2.153};
const std::vector<double> kVolts7R = {2.849, 2.676, 2.572, 2.502, 2.432, 2.328, 2.155};
const std::vector<double> kComp7F = {0.011, 0.007, 0.004, 0.001, -0.002, -0.006, -0.009};
const std::vector<double> kComp7R = {0.012, 0.006, 0.003, 0.000, -0.003, -0.005, -0.010};
const std::vector<double> kVolts11F = {3.910, 3.647, 3.345, 3.018, 2.674, 2.500,
                                       2.326, 1.982, 1.655, 1.353, 1.090};
const std::vector<double> kVolts11R = {3.912, 3.645, 3.347, 3.016, 2.676, 2.501,
                                       2.328, 1.980, 1.657, 1.351, 1.092};
const std::vector<double> kComp11F = {0.021,  0.015,  0.010,  0.006,  0.002, 0.000,
                                      -0.002, -0.005, -0.011, -0.016, -0.020};
const std::vector<double> kComp11R = {0.020,  0.016,  0.011,  0.005,  0.003, -0.001,
                                      -0.003, -0.006, -0.010, -0.015, -0.022};
const std::vector<double> kSine7F = {0.1737, 0.0871, 0.0349, 0.0001, -0.0348, -0.0872, -0.1736};
const std::vector<double> kSine7R = {0.1735, 0.0873, 0.0350, -0.0002, -0.0349, -0.0871, -0.1737};
const std::vector<double> kSine11F = {0.7072,  0.5735,  0.4227,  0.2589,  0.0871, 0.0000,
                                      -0.0872, -0.2588, -0.4226, -0.5736, -0.7071};
const std::vector<double> kSine11R = {0.7070,  0.5737,  0.4226,  0.2588,  0.0872, 0.0001,
                                      -0.0871, -0.2589, -0.4227, -0.5735, -0.7072};

const Coefficients kA = {-1.25, 0.5, 1e-4, -2.4e-6, 0.0, 3.125e-8};
const Coefficients kB = {0.002, 0.499, -2e-4, 0.0, 1.5e-6, 0.0};

void Put(PositionArray& to, const std::vector<double>& from) {
    for (std::size_t k = 0; k < from.size(); ++k) to[k] = from[k];
}

// A record as the pages leave it after a run of `axis`: readings of that axis,
// 2n+1 labels, stored constants.
DeviceRecord GoldenRecord(int axis, int n, bool sine, int address) {
    DeviceRecord r;
    r.addressNumber = address;
    const auto& first = sine ? (n == 7 ? kSine7F : kSine11F) : (n == 7 ? kVolts7F : kVolts11F);
    const auto& back = sine ? (n == 7 ? kSine7R : kSine11R) : (n == 7 ? kVolts7R : kVolts11R);
    if (axis == kAxisA) {
        Put(r.aFirstMain, first);
        Put(r.aReturnMain, back);
        if (!sine) {
            Put(r.aFirstCompanion, n == 7 ? kComp7F : kComp11F);
            Put(r.aReturnCompanion, n == 7 ? kComp7R : kComp11R);
        }
    } else {
        Put(r.bFirstMain, first);
        Put(r.bReturnMain, back);
        if (!sine) {
            Put(r.bFirstCompanion, n == 7 ? kComp7F : kComp11F);
            Put(r.bReturnCompanion, n == 7 ? kComp7R : kComp11R);
        }
    }
    for (int j = 0; j <= 2 * n; ++j)
        r.labels.push_back(std::string(axis == kAxisA ? "A Axis" : "B Axis") + ",L" +
                           std::to_string(j));
    r.a = kA;
    r.b = kB;
    r.aCrossLinear = 0.0123;
    r.aCrossQuadratic = -0.00045;
    r.bCrossLinear = -0.0071;
    r.bCrossQuadratic = 0.0002;
    return r;
}

// Points at the first line where two texts differ.
std::string FirstDifference(const std::string& got, const std::string& want) {
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i] != want[i])
            return "line " + std::to_string(line) + ": got \"" + got.substr(start, i - start + 40) +
                   "\" want \"" + want.substr(start, i - start + 40) + "\"";
        if (got[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
}

TEST(CalDataFile, MatchesGoldenFiles) {
    struct Case {
        const char* golden;
        bool test;
        int axis, n, tiltRange, address;
    };
    const Case cases[] = {
        {"cal_a_n7.csv", false, kAxisA, 7, 10, 123},
        {"cal_b_n7.csv", false, kAxisB, 7, 10, 123},
        {"cal_a_n11.csv", false, kAxisA, 11, 45, 40017},
        {"cal_b_n11.csv", false, kAxisB, 11, 45, 40017},
        {"test_a_n7.csv", true, kAxisA, 7, 10, 123},
        {"test_b_n7.csv", true, kAxisB, 7, 10, 123},
        {"test_a_n11.csv", true, kAxisA, 11, 45, 40017},
        {"test_b_n11.csv", true, kAxisB, 11, 45, 40017},
    };
    TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        const DeviceRecord record = GoldenRecord(c.axis, c.n, c.test, c.address);
        CalDataFile file(FixedTime(kMarch5));
        file.setPositionCount(c.n);
        file.setTiltRange(c.tiltRange);
        const auto out = dir / c.golden;
        if (c.test) {
            ASSERT_EQ(file.WriteTestFile(out, record, false, c.axis), 0);
        } else {
            CalFitWorkspace ws;
            ws.Reset(c.n, c.tiltRange);
            ws.load(record);
            ws.setConstants(kAxisA, kA, 0.0123, -0.00045);
            ws.setConstants(kAxisB, kB, -0.0071, 0.0002);
            ASSERT_EQ(file.WriteCalibrationFile(out, record, ws, false, c.axis), 0);
        }
        const std::string got = ReadBytes(out);
        const std::string want = ReadBytes(std::filesystem::path(CLINORA_GOLDEN_DIR) / c.golden);
        ASSERT_FALSE(want.empty());
        EXPECT_TRUE(got == want) << FirstDifference(got, want);
    }
}

TEST(CalDataFile, NamesAreUniqueInTheWorkingFolder) {
    TempFolder dir;
    CalDataFile file(FixedTime({2023, 5, 1, 12, 0, 0}));
    file.setFolder(dir.path());
    file.setPositionCount(7);
    DeviceRecord r = GoldenRecord(kAxisA, 7, true, 123);
    const std::string base = "00123_CAL_DATA_AXIS_A_TEST_05-01-23";
    EXPECT_EQ(file.MakeFileName(r, kPrefixTestAxisA, false), base + ".csv");
    EXPECT_EQ(file.lastPath(), dir / (base + ".csv"));
    ASSERT_EQ(file.WriteTestFile("", r, false, kAxisA), 0);  // at the remembered path
    // A second run of the same board and day gets a new file...
    EXPECT_EQ(file.MakeFileName(r, kPrefixTestAxisA, false), base + "(1).csv");
    ASSERT_EQ(file.WriteTestFile("", r, false, kAxisA), 0);
    EXPECT_EQ(file.MakeFileName(r, kPrefixTestAxisA, false), base + "(2).csv");
    // ...unless runs are appended to the day's file.
    EXPECT_EQ(file.MakeFileName(r, kPrefixTestAxisA, true), base + ".csv");
    for (int i = 2; i <= 1025; ++i)
        WriteBytes(dir / (base + "(" + std::to_string(i) + ").csv"), "");
    EXPECT_EQ(file.MakeFileName(r, kPrefixTestAxisA, false), "FilenameError.csv");
    r.addressNumber = 7;
    EXPECT_EQ(file.MakeFileName(r, kPrefixAxisB, false), "00007_CAL_DATA_AXIS_B_05-01-23.csv");
}

// A fitted calibration of a simulated board, written to `path`.
DeviceRecord WriteFittedFile(const std::filesystem::path& path, double range, bool append,
                             double offset) {
    const NominalAngleTable t = NominalAngles(range);
    DeviceRecord r;
    r.addressNumber = 42;
    const sim::AxisProfile board{offset, 1.004, 0.0001};
    for (int k = 0; k < t.count; ++k) {
        r.aFirstMain[k] = sim::AxisVolts(board, t.degrees[k], 24.0);
        r.aReturnMain[k] = sim::AxisVolts(board, t.degrees[k], 26.0);
        r.aFirstCompanion[k] = 0.001 * k;
    }
    CalFitWorkspace ws;
    ws.Reset(t.count, range);
    EXPECT_EQ(ws.Compute(r, kAxisA, false), kFitOk);
    CalDataFile file(FixedTime(kMarch5));
    file.setPositionCount(t.count);
    file.setTiltRange(static_cast<int>(range));
    EXPECT_EQ(file.WriteCalibrationFile(path, r, ws, append, kAxisA), 0);
    return r;
}

double AsWritten(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6e", v);
    return std::strtod(text, nullptr);
}

void ExpectConstantsAsWritten(const DeviceRecord& got, const DeviceRecord& written) {
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(got.a[j], AsWritten(written.a[j])) << "A" << j;
        EXPECT_EQ(got.b[j], AsWritten(written.b[j])) << "B" << j;
    }
    EXPECT_EQ(got.aCrossLinear, AsWritten(written.aCrossLinear));
    EXPECT_EQ(got.aCrossQuadratic, AsWritten(written.aCrossQuadratic));
    EXPECT_EQ(got.bCrossLinear, AsWritten(written.bCrossLinear));
    EXPECT_EQ(got.bCrossQuadratic, AsWritten(written.bCrossQuadratic));
}

TEST(CalDataFile, ConstantsReadBack) {
    TempFolder dir;
    const DeviceRecord written = WriteFittedFile(dir / "f.csv", 45.0, false, 0.004);
    ASSERT_NE(written.aCrossLinear, 0.0);
    CalDataFile file;
    DeviceRecord got;
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "f.csv", got), kConstantsComplete);
    ExpectConstantsAsWritten(got, written);

    // Two runs appended to one file: the first one counts.
    WriteFittedFile(dir / "f.csv", 45.0, true, -0.008);
    DeviceRecord again;
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "f.csv", again), kConstantsComplete);
    ExpectConstantsAsWritten(again, written);
}

TEST(CalDataFile, ShortOrBrokenConstantsSections) {
    TempFolder dir;
    WriteFittedFile(dir / "f.csv", 15.0, false, 0.0);
    const std::string full = ReadBytes(dir / "f.csv");
    CalDataFile file;
    const auto read = [&](const std::string& bytes, DeviceRecord& r) {
        WriteBytes(dir / "g.csv", bytes);
        return file.ReadCalibrationConstants(dir / "g.csv", r);
    };
    const auto withOldB = [] {
        DeviceRecord r;
        r.b = {5, 5, 5, 5, 5, 5};
        r.bCrossLinear = r.bCrossQuadratic = 5;
        return r;
    };

    // Cut after "Axis B": usable, B is the identity.
    DeviceRecord r = withOldB();
    const std::size_t axisB = full.find("Axis B\r\n");
    ASSERT_NE(axisB, std::string::npos);
    EXPECT_EQ(read(full.substr(0, axisB + 8), r), kConstantsUsable);
    EXPECT_EQ(r.b, (Coefficients{0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(r.bCrossLinear, 0.0);
    EXPECT_EQ(r.bCrossQuadratic, 0.0);
    EXPECT_NE(r.a[1], 0.0);

    const std::size_t title = full.find("Calibration Constants :\r\n");
    ASSERT_NE(title, std::string::npos);
    r = withOldB();
    EXPECT_EQ(read(full.substr(0, title + 25), r), kConstantsCutShort);
    EXPECT_EQ(r.b[1], 1.0);
    EXPECT_EQ(read(full.substr(0, title), r), kConstantsNotFound);
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "missing.csv", r), kConstantsCannotOpen);

    // Blank lines between the constants are skipped; a value that is no number
    // ends the reading.
    std::string gaps = full;
    gaps.insert(gaps.find("A0,"), "\r\n\r\n");
    EXPECT_EQ(read(gaps, r), kConstantsComplete);
    std::string broken = full;
    broken.replace(broken.find("A2,") + 3, 1, "x");
    EXPECT_EQ(read(broken, r), 4);
}

TEST(CalDataFile, ConstantValuesMustBeWholeDecimalsAFloatHolds) {
    TempFolder dir;
    WriteFittedFile(dir / "f.csv", 15.0, false, 0.0);
    const std::string full = ReadBytes(dir / "f.csv");
    const std::size_t at = full.find("A2,") + 3;
    const std::size_t end = full.find("\r\n", at);
    CalDataFile file;
    // The A2 value replaced by each text: 19 when it counts, else the count of
    // lines before it + 1 (reading stops there).
    const struct {
        const char* value;
        int count;
    } cases[] = {
        {"1.5e-3", kConstantsComplete}, {" -2 ,", kConstantsComplete},
        {"3.4e38", kConstantsComplete}, {"3.5e38", 4},
        {"1e300", 4},                   {"-1e39", 4},
        {"0x1p3", 4},                   {"nan", 4},
        {"inf", 4},                     {"1.5 volts", 4},
    };
    for (const auto& c : cases) {
        std::string bytes = full;
        bytes.replace(at, end - at, c.value);
        WriteBytes(dir / "g.csv", bytes);
        DeviceRecord r;
        EXPECT_EQ(file.ReadCalibrationConstants(dir / "g.csv", r), c.count) << c.value;
    }
}

TEST(CalDataFile, ConstantsReaderTakesEightyBytesPerLine) {
    TempFolder dir;
    WriteFittedFile(dir / "f.csv", 15.0, false, 0.0);
    const std::string full = ReadBytes(dir / "f.csv");
    CalDataFile file;
    DeviceRecord r;
    WriteBytes(dir / "g.csv", std::string(79, 'x') + "\r\n" + full);
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "g.csv", r), kConstantsComplete);
    WriteBytes(dir / "g.csv", std::string(80, 'x') + "\r\n" + full);  // 81 bytes up to CR
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "g.csv", r), kConstantsNotFound);
}

TEST(CalDataFile, LabelListShorterThanTheRunGivesPlaceholderLabels) {
    TempFolder dir;
    DeviceRecord r = GoldenRecord(kAxisB, 7, true, 9);
    r.labels.resize(3);  // entries 0..2: the first two accepted positions
    CalDataFile file(FixedTime(kMarch5));
    file.setPositionCount(7);
    file.setTiltRange(15);
    ASSERT_EQ(file.WriteTestFile(dir / "t.csv", r, false, kAxisB), 0);
    const std::string text = ReadBytes(dir / "t.csv");
    EXPECT_NE(text.find("\r\nB Axis,-- --,1,"), std::string::npos);
    EXPECT_NE(text.find("\r\nB Axis,-- --,12,"), std::string::npos);
    // Row 13 is the second accepted position, row 14 the first.
    EXPECT_NE(text.find("\r\nB Axis,L2,13,"), std::string::npos);
    EXPECT_NE(text.find("\r\nB Axis,L1,14,"), std::string::npos);

    r.labels.clear();  // constants read from a file, nothing collected
    ASSERT_EQ(file.WriteTestFile(dir / "t.csv", r, false, kAxisB), 0);
    EXPECT_NE(ReadBytes(dir / "t.csv").find("\r\nB Axis,-- --,14,"), std::string::npos);
}

int CountLines(const std::string& text, const std::string& prefix) {
    int count = 0;
    for (std::size_t at = text.find("\r\n" + prefix); at != std::string::npos;
         at = text.find("\r\n" + prefix, at + 2))
        ++count;
    return count;
}

TEST(CalDataFile, NinetyDegreeRunWritesThirteenRowsPerBlock) {
    TempFolder dir;
    const DeviceRecord written = WriteFittedFile(dir / "f.csv", 90.0, false, 0.002);
    const std::string text = ReadBytes(dir / "f.csv");
    EXPECT_EQ(CountLines(text, "B Axis,-- --,-,0.0,0.0"), 26);
    EXPECT_EQ(CountLines(text, "A Axis,-- --,"), 26);  // no labels collected
    EXPECT_NE(text.find("\r\nA Axis,-- --,26,"), std::string::npos);
    // Face rows on both faces: 13 each, the middle slot without L or R.
    EXPECT_EQ(CountLines(text, "90,L,"), 2);
    EXPECT_EQ(CountLines(text, "0,,"), 2);
    EXPECT_EQ(CountLines(text, "90,R,"), 2);
    EXPECT_EQ(CountLines(text, "75,"), 4);
    CalDataFile file;
    DeviceRecord got;
    EXPECT_EQ(file.ReadCalibrationConstants(dir / "f.csv", got), kConstantsComplete);
    ExpectConstantsAsWritten(got, written);
}

TEST(CalDataFile, UnwritableFileIsReported) {
    TempFolder dir;
    CalDataFile file(FixedTime(kMarch5));
    file.setPositionCount(7);
    const DeviceRecord r = GoldenRecord(kAxisA, 7, true, 1);
    CalFitWorkspace ws;
    EXPECT_EQ(file.WriteTestFile(dir / "no" / "t.csv", r, false, kAxisA), 1);
    EXPECT_EQ(file.WriteCalibrationFile(dir / "no" / "c.csv", r, ws, true, kAxisA), 1);
    EXPECT_EQ(file.WriteTestFile("", r, false, kAxisA), 1);  // no name made yet
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

}  // namespace
}  // namespace clinora::calib
