// What the answer to a memory write says the board did, and the words for it.
#include "link/write_echo.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "link/link_words.h"

namespace clinora {
namespace {

bool Has(const std::vector<int>& cells, int cell) {
    return std::find(cells.begin(), cells.end(), cell) != cells.end();
}

TEST(WriteEcho, TheAnswerTellsWhereTheBytesWent) {
    const MemoryWrite we{"WE", 0x52, {0x03}};
    const MemoryWrite wm{"WM", 0x70, {0x00, 0x00, 0x80, 0x3F}};
    const struct {
        MemoryWrite sent;
        std::string reply;
        EchoSays says;
        int heardCell;        // where the board wrote, as far as its echo tells
        size_t strays;        // Unknown: how many cells the line may have hit
        std::vector<int> in;  // some of them
    } cases[] = {
        {we, "WE 52 03\r\n", EchoSays::Written, 0, 0, {}},
        {we, "WE 52 03 ?\r\n", EchoSays::Refused, 0, 0, {}},
        {we, "WE 52 0F\r\n", EchoSays::SameCell, 0x52, 0, {}},
        {we, "WE a2 03\r\n", EchoSays::OtherCell, 0xA2, 0, {}},
        {wm, "WM 0 4 0 0 80 3F\r\n", EchoSays::OtherCell, 0x00, 0, {}},
        // Nothing came back: a lost digit, or one changed to any other (31 cells:
        // "02" is also "2" with its first digit lost).
        {we, "", EchoSays::Unknown, 0, 31, {0x02, 0x05, 0xA2, 0x42, 0x5F}},
        {wm, "", EchoSays::Unknown, 0, 31, {0x00, 0x07, 0x40, 0xB0, 0x7C}},
        // Cut short: only cells whose echo begins so.
        {we, "WE 5", EchoSays::Unknown, 0, 16, {0x05, 0x50, 0x5A}},
        {we, "WE 52 0", EchoSays::Unknown, 0, 0, {}},
        {we, "WX", EchoSays::Unknown, 0, 31, {0x02}},  // changed on its way back
        // Garbled: the cell field spared tells the board heard the cell.
        {we, "QE 52 03\r\n", EchoSays::Unknown, 0, 0, {}},
        {we, "QE 5Z 03\r\n", EchoSays::Unknown, 0, 31, {0x02}},
    };
    for (const auto& c : cases) {
        const EchoVerdict v = JudgeWriteEcho(c.sent, c.reply);
        EXPECT_EQ(v.says, c.says) << c.reply;
        EXPECT_EQ(v.heard.cell, c.heardCell) << c.reply;
        EXPECT_EQ(v.strayStarts.size(), c.strays) << c.reply;
        EXPECT_FALSE(Has(v.strayStarts, c.sent.cell)) << c.reply;
        for (int cell : c.in) EXPECT_TRUE(Has(v.strayStarts, cell)) << c.reply << " " << cell;
    }
    // A lost digit leads below 0x10; a write never runs past the memory's end.
    EXPECT_EQ(MisheardStarts(we, true), (std::vector<int>{0x02, 0x05}));
    const auto nearEnd = MisheardStarts({"WM", 0xFC, {1, 2, 3, 4}});
    EXPECT_TRUE(std::all_of(nearEnd.begin(), nearEnd.end(), [](int s) { return s + 4 <= 256; }));
    EXPECT_EQ(nearEnd.size(), 28u);  // "0C" is "C" lost its digit
}

TEST(WriteEcho, CommandTextsAsSentAndAsABoardReadsThem) {
    EXPECT_EQ(WriteCommandText({"WE", 0x52, {0x03}}), "WE 52 03");
    EXPECT_EQ(WriteCommandText({"WM", 0xA0, {0, 0, 0x80, 0x3F}}), "WM A0 4 0 0 80 3F");
    const struct {
        const char* text;
        bool read;
    } cases[] = {
        {"WE 52 03", true},          {"WE 52 103", false},      {"WE 100 1", false},
        {"WM 70 4 0 0 80 3F", true}, {"WM 70 4 0 0 80", false}, {"WM FE 4 0 0 0 0", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseWriteCommand(c.text).has_value(), c.read) << c.text;
    EXPECT_EQ(*ParseWriteCommand("WM b4 2 cd 3d"), (MemoryWrite{"WM", 0xB4, {0xCD, 0x3D}}));
}

// A run of cells is named as one; a cell nobody uses says so.
TEST(LinkWords, StrayWritesNameTheirCells) {
    EXPECT_EQ(StrayWriteText({"101", 0xB4, 4, StrayKind::Written}),
              "A garbled command wrote cells 0xB4 to 0xB7 of board 101 (axis B constants); upload "
              "axis B again");
    EXPECT_EQ(StrayWriteText({"101", 0x26, 1, StrayKind::Possible}),
              "A garbled command may have written cell 0x26 of board 101 (a cell this program does "
              "not use); have the board checked before it is used");
}

}  // namespace
}  // namespace clinora
