#include "app/reading_log.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace clinora {
namespace {

LogReading Sample() {
    LogReading r;
    r.serial = "ZC-1234";
    r.temperature = "21.50 \u00B0C";
    r.axisA = "12.345";
    r.axisB = "-0.500";
    r.unit = "Deg";
    r.time = {2026, 3, 4, 5, 6, 7};
    return r;
}

TEST(ReadingLog, LineBytesAndColumns) {
    LogReading r = Sample();
    EXPECT_EQ(FormatLogLine(r, true),
              "ZC-1234,04/03/2026 05:06:07,21.50 \xB0"
              "C,\xB0"
              "C,12.345,Deg,-0.500,Deg,");
    r.comment = "bench 2";
    EXPECT_EQ(FormatLogLine(r, true).substr(FormatLogLine(r, false).size()), ",bench 2");
    // A saved reading without a comment has eight columns.
    r.comment.clear();
    const std::string eight = FormatLogLine(r, false);
    EXPECT_EQ(std::count(eight.begin(), eight.end(), ','), 7);
    // A tunnel board reports axis B in millimetres; axis A keeps the selected unit.
    r.deviceUnits = "mm";
    EXPECT_TRUE(FormatLogLine(r, false).ends_with(",-0.500,mm"));
    EXPECT_NE(FormatLogLine(r, false).find(",Deg,"), std::string::npos);
}

TEST(ReadingLog, FahrenheitTemperatureStillHasTheCelsiusColumn) {
    LogReading r = Sample();
    r.temperature = "70.70 \u00B0F";
    EXPECT_NE(FormatLogLine(r, true).find("70.70 \xB0"
                                          "F,\xB0"
                                          "C,"),
              std::string::npos);
}

TEST(ReadingLog, CommentsThatWouldBreakTheRowAreRefused) {
    EXPECT_EQ(CommentProblem("a,b").value_or(""), "Commas not allowed in comment string");
    EXPECT_EQ(CommentProblem(",").value_or(""), "Commas not allowed in comment string");
    EXPECT_TRUE(CommentProblem("two\nlines"));
    EXPECT_TRUE(CommentProblem("tab\there"));
    EXPECT_FALSE(CommentProblem(""));
    EXPECT_FALSE(CommentProblem("north wall"));
    EXPECT_FALSE(CommentProblem("Gr\u00FCn \u00B0"));  // Latin-1: one byte each in the log
    // U+012C would reach the log as a comma, U+4E2D as a bare 0x2D.
    for (const char* text : {"a\u012Cb", "\u4E2D", "\U0001F600"}) {
        const auto problem = CommentProblem(text);
        ASSERT_TRUE(problem) << text;
        EXPECT_NE(problem->find("cannot hold"), std::string::npos) << *problem;
    }
    EXPECT_TRUE(CommentProblem("c1\u0085control"));
}

TEST(ReadingLog, BoardTextsNeverBreakTheColumns) {
    LogReading r = Sample();
    r.serial = "ZC,12\r\n34\u012C";
    r.axisA = "1.0\x01";
    r.comment = "\u4E2D";
    const std::string line = FormatLogLine(r, true);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8);
    EXPECT_EQ(line.find_first_of("\r\n\x01"), std::string::npos);
    EXPECT_TRUE(line.starts_with("ZC 12  34?,")) << line;
    EXPECT_TRUE(line.ends_with(",?")) << line;
}

TEST(ReadingLog, IntervalTextAndSingleBytes) {
    EXPECT_EQ(LogIntervalFromText("12s"), 12);
    EXPECT_EQ(LogIntervalFromText("abc"), 0);
    EXPECT_EQ(LogIntervalFromText(""), 0);
    EXPECT_GT(LogIntervalFromText("99999999999999"), kMaxLogInterval);  // no overflow
    EXPECT_EQ(ToSingleBytes("\u00B0C"),
              "\xB0"
              "C");
    EXPECT_EQ(ToSingleBytes("plain"), "plain");
    EXPECT_EQ(ToSingleBytes("\xC2"), "\xC2");  // truncated sequence kept as a byte
    EXPECT_EQ(ToSingleBytes("\xC2x"), "\xC2x");
    // An overlong form of ',' or CR is no comma or line break.
    EXPECT_EQ(ToSingleBytes("a\xC0\xAC" "b"), "a\xC0\xAC" "b");
    EXPECT_EQ(ToSingleBytes("\xE0\x80\x8D"), "\xE0\x80\x8D");
}

using testing::TempFolder;

TEST(ReadingLogFile, NewFileGetsTheHeaderThenEveryLineAtOnce) {
    TempFolder folder;
    const std::string path = folder.file("log.csv");
    ReadingLogFile log;
    ASSERT_TRUE(log.open(path));
    ASSERT_TRUE(log.writeHeaderIfEmpty());
    ASSERT_TRUE(log.writeLine("one"));
    // On disk before anything is closed: a crash now loses nothing.
    EXPECT_EQ(folder.read("log.csv"), std::string(kReadingLogHeader) + "\r\none\r\n");
    ASSERT_TRUE(log.writeHeaderIfEmpty());  // not empty any more: no second header
    ASSERT_TRUE(log.writeLine("two"));
    log.close();
    EXPECT_EQ(folder.read("log.csv"), std::string(kReadingLogHeader) + "\r\none\r\ntwo\r\n");
}

TEST(ReadingLogFile, ExistingFileIsAppendedAfterItsLastLine) {
    TempFolder folder;
    folder.write("log.csv", "Serial,Date\r\nold\r\n");
    ReadingLogFile log;
    ASSERT_TRUE(log.open(folder.file("log.csv")));
    log.writeHeaderIfEmpty();
    log.writeLine("new");
    log.close();
    EXPECT_EQ(folder.read("log.csv"), "Serial,Date\r\nold\r\nnew\r\n");

    // A last line without its line break is ended first, never joined.
    folder.write("cut.csv", "old");
    ASSERT_TRUE(log.open(folder.file("cut.csv")));
    log.writeLine("new");
    log.writeLine("next");
    log.close();
    EXPECT_EQ(folder.read("cut.csv"), "old\r\nnew\r\nnext\r\n");
}

TEST(ReadingLogFile, FolderThatCannotHoldTheFileFails) {
    TempFolder folder;
    ReadingLogFile log;
    EXPECT_FALSE(log.open(folder.file("missing/log.csv")));
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.writeLine("x"));
}

}  // namespace
}  // namespace clinora
