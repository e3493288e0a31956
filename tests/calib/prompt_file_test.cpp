#include "calib/prompt_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

namespace clinora::calib {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

std::vector<PromptRow> Read(const TempFolder& dir, const std::string& bytes) {
    WriteBytes(dir / "p.csv", bytes);
    std::vector<PromptRow> rows(3);  // replaced by the reading
    const int count = ReadPromptFile(dir / "p.csv", rows);
    EXPECT_EQ(count, static_cast<int>(rows.size()));
    return rows;
}

std::string Rows(int count) {
    std::string text = "1\r\n";
    for (int i = 0; i < count; ++i) text += "x,P" + std::to_string(i) + ",,1.0\r\n";
    return text;
}

TEST(PromptFile, HeaderCountSkipsLines) {
    TempFolder dir;
    const auto rows = Read(dir, "3,title\r\nx,Skipped1,,1\r\nx,Skipped2,,2\r\nx,Data,,3\r\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].label, "Data");
    EXPECT_EQ(rows[0].aTarget, 3.0);
    // A first line that is no number counts as the only header line.
    const auto plain = Read(dir, "Title\r\nx,First,,1\r\n");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].label, "First");
    // A header longer than the file leaves no rows.
    EXPECT_TRUE(Read(dir, "5\r\nx,a,,1\r\n").empty());
}

TEST(PromptFile, ColumnsAndMissingNumbers) {
    TempFolder dir;
    const auto rows = Read(dir,
                           "1\r\nx,Level,,1.0\r\nfirst,L2,ignored,abc,0.25,,7\r\n"
                           "a,b,c,1,2,3,4,5,6,7,8,9,10,11,12,99,100\r\n"
                           "no comma\r\n\r\nlast,\r\n");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].firstLabel, "x");
    EXPECT_EQ(rows[0].label, "Level");
    EXPECT_EQ(rows[0].aTarget, 1.0);
    for (double v : {rows[0].aLow, rows[0].aHigh, rows[0].bTarget, rows[0].bLow, rows[0].bHigh,
                     rows[0].aTestTarget, rows[0].aTestLow, rows[0].aTestHigh, rows[0].bTestTarget,
                     rows[0].bTestLow, rows[0].bTestHigh})
        EXPECT_EQ(v, -1.0);
    // Text or nothing where a number belongs reads as -1.0.
    EXPECT_EQ(rows[1].aTarget, -1.0);
    EXPECT_EQ(rows[1].aLow, 0.25);
    EXPECT_EQ(rows[1].aHigh, -1.0);
    EXPECT_EQ(rows[1].bTarget, 7.0);
    // Columns after the fifteenth are ignored.
    EXPECT_EQ(rows[2].aTarget, 1.0);
    EXPECT_EQ(rows[2].bTestHigh, 12.0);
}

TEST(PromptFile, OnlyWholeFiniteDecimalsAreNumbers) {
    TempFolder dir;
    const struct {
        const char* column;
        double value;
    } cases[] = {
        {"2.5", 2.5},  {" -0.25 ", -0.25}, {"1e2", 100.0}, {"nan", -1.0}, {"inf", -1.0},
        {"-inf", -1.0}, {"0x1p3", -1.0},   {"3volts", -1.0}, {"1e999", -1.0},
    };
    for (const auto& c : cases) {
        const auto rows = Read(dir, std::string("1\r\nx,Level,,") + c.column + "\r\n");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].aTarget, c.value) << c.column;
    }
}

TEST(PromptFile, ByteLevelLineRules) {
    TempFolder dir;
    // LF alone does not end a line: the whole file is its first line.
    EXPECT_TRUE(Read(dir, "1\nx,A,,1\nx,B,,2\n").empty());
    // CR alone ends a line; TAB becomes a blank; bytes outside 32..127 go.
    const auto rows = Read(dir, "1\rx,A\tB,,\x01 2.5\xe9\rx,C\n,,3\r\n\r\nx,Last,,4");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].label, "A B");
    EXPECT_EQ(rows[0].aTarget, 2.5);
    EXPECT_EQ(rows[1].label, "C");
    EXPECT_EQ(rows[1].aTarget, 3.0);
    EXPECT_EQ(rows[2].label, "Last");  // unterminated last line still counts
}

TEST(PromptFile, MissingFileGivesNoRows) {
    TempFolder dir;
    std::vector<PromptRow> rows(2);
    EXPECT_EQ(ReadPromptFile(dir / "none.csv", rows), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(ReadPromptFile(dir.path(), rows), 0);  // a folder
}

TEST(PromptFile, RowCountMustFitTheRange) {
    TempFolder dir;
    std::vector<PromptRow> rows;
    const auto readFor = [&](int count, double range) {
        WriteBytes(dir / "p.csv", Rows(count));
        return ReadPromptFileForRange(dir / "p.csv", range, rows);
    };
    EXPECT_EQ(readFor(14, 15.0), 14);
    EXPECT_EQ(readFor(12, 15.0), 0);  // too few for a run
    EXPECT_EQ(readFor(15, 45.0), 0);  // odd
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(readFor(16, 15.0), 0);  // more positions than the range has angles
    EXPECT_EQ(readFor(22, 45.0), 22);
    EXPECT_EQ(readFor(14, 45.0), 14);
    EXPECT_EQ(readFor(24, 50.0), 0);
    EXPECT_EQ(readFor(26, 90.0), 26);
    EXPECT_EQ(readFor(16, 20.0), 0);  // a range without a table has 7 angles
}

}  // namespace
}  // namespace clinora::calib
