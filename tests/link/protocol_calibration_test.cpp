// Memory words, calibration upload and verify.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/reading_format.h"
#include "link/worker_codes.h"
#include "protocol_bench.h"
#include "sim/sim_board.h"

namespace clinora {
namespace {

using testing::ProtocolBench;

void setConstants(SharedData& d, int board, double base) {
    DeviceRecord& r = d.devices[board];
    for (int k = 0; k < 6; ++k) {
        r.a[k] = base + 0.1 * k;
        r.b[k] = -base - 0.01 * k;
    }
    r.aCrossLinear = 0.001;
    r.aCrossQuadratic = -0.002;
    r.bCrossLinear = 1e-5;
    r.bCrossQuadratic = 3.3;
}

float BoardFloat(const ProtocolBench& b, size_t board, int cell) {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= static_cast<uint32_t>(b.memory(board, cell + i)) << (8 * i);
    return WordToFloat(w);
}

TEST(Memory, WordsGoOutLeastSignificantByteFirst) {
    ProtocolBench b;
    b.setTarget("101");
    ASSERT_TRUE(b.protocol.WriteMemoryWord(0x70, FloatToWord(1.0f)));
    ASSERT_TRUE(b.protocol.WriteMemoryWord(0xA0, FloatToWord(0.0f)));
    EXPECT_EQ(b.lines(),
              (std::vector<std::string>{"@@101 WM 70 4 0 0 80 3F", "@@101 WM A0 4 0 0 0 0"}));
    uint32_t word = 0;
    ASSERT_TRUE(b.protocol.ReadEepromWord(0x70, word));
    EXPECT_EQ(word, 0x3F800000u);
    uint8_t byte = 0;
    ASSERT_TRUE(b.protocol.ReadEepromByte(0x73, 1200, byte));
    EXPECT_EQ(byte, 0x3F);

    // The memory-write wait judges the first bytes that arrive.
    b.answer("WM 70 4 0 0 80 3F", {"XX\r\n"});
    EXPECT_FALSE(b.protocol.WriteMemoryWord(0x70, FloatToWord(1.0f)));
    b.answer("WM 70 4 0 0 80 3F", {"WM ?\r\n"});
    const int64_t start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.WriteMemoryWord(0x70, FloatToWord(1.0f)));
    EXPECT_GE(b.clock.nowMs() - start, 500 + 2000);
}

TEST(Calibration, UploadAndVerifyOneAxisAtATime) {
    ProtocolBench b({"101", "102"});
    b.edit([](SharedData& d) {
        d.currentAddresses = {"101", "102"};
        setConstants(d, 1, 0.25);
        d.settings.axisSelector = 1;
    });
    ASSERT_TRUE(b.protocol.UploadCalibration(1));
    EXPECT_EQ(b.events, (std::vector<std::pair<int, int>>{{kEventUploadStarting, 102}}));
    const auto d = b.data();
    std::array<float, 8> sent{};
    for (int k = 0; k < 6; ++k) sent[k] = static_cast<float>(d.devices[1].a[k]);
    sent[6] = 0.001f;
    sent[7] = -0.002f;
    for (int k = 0; k < 8; ++k) EXPECT_EQ(BoardFloat(b, 1, 0x70 + 4 * k), sent[k]) << k;
    EXPECT_EQ(b.memory(1, 0x58), AxisChecksum(sent));
    EXPECT_EQ(b.memory(1, 0x54), 20);
    EXPECT_EQ(b.memory(1, 0x55), 26);
    EXPECT_EQ(b.memory(1, 0x56), 12);
    EXPECT_EQ(b.memory(1, 0x57), 7);
    const std::array<int, 4> fixed = {1, 1, 3, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.memory(1, 0x50 + i), fixed[i]);
    EXPECT_EQ(b.lines().back(), "@@102 I");
    // Axis B untouched, board 0 untouched.
    EXPECT_NE(BoardFloat(b, 1, 0xA0), static_cast<float>(d.devices[1].b[0]));
    EXPECT_NE(BoardFloat(b, 0, 0x70), sent[0]);

    ASSERT_TRUE(b.protocol.VerifyCalibration(1));
    EXPECT_EQ(b.events.back(), (std::pair<int, int>{kEventVerifyStarting, 102}));
    EXPECT_FALSE(b.protocol.VerifyCalibration(0));  // board 0 still has its own constants

    b.edit([](SharedData& d) { d.settings.axisSelector = 0; });
    EXPECT_FALSE(b.protocol.VerifyCalibration(1));
    ASSERT_TRUE(b.protocol.UploadCalibration(1));
    ASSERT_TRUE(b.protocol.VerifyCalibration(1));
    EXPECT_EQ(BoardFloat(b, 1, 0xBC), 3.3f);
}

// The lines of an upload: the copy of the cells a misheard line may hit,
// then the writes, axis A first.
TEST(Calibration, BiaxialUploadCopiesTheCellsAtRiskThenWritesBothAxesAFirst) {
    ProtocolBench b;
    b.edit([](SharedData& d) {
        d.currentAddresses = {"101"};
        setConstants(d, 0, -0.5);
        d.settings.axisSelector = 0;
    });
    ASSERT_TRUE(b.protocol.UploadCalibrationBiaxial(0));
    const auto lines = b.lines();
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("@@101 RE", 0) != 0;
    });
    EXPECT_EQ(first - lines.begin(), 22);  // 0x00-0x0F, 0x41-0x43 and 0x49-0x4B
    EXPECT_EQ(lines[21], "@@101 RE 4B");
    ASSERT_NE(first, lines.end());
    EXPECT_EQ(*first, "@@101 WM 70 4 0 0 0 BF");
    EXPECT_EQ(lines.back(), "@@101 I");
    b.edit([](SharedData& d) { d.settings.axisSelector = 1; });
    EXPECT_TRUE(b.protocol.VerifyCalibration(0));
    b.edit([](SharedData& d) { d.settings.axisSelector = 0; });
    EXPECT_TRUE(b.protocol.VerifyCalibration(0));
}

TEST(Calibration, VerifyComparesInSinglePrecision) {
    ProtocolBench b;
    b.edit([](SharedData& d) {
        d.currentAddresses = {"101"};
        d.devices[0] = DeviceRecord{};
        d.devices[0].a = {0.1, 1.0 / 3.0, 1e-7, 0, 0, 0};
    });
    ASSERT_TRUE(b.protocol.UploadCalibration(0));
    // The record still holds the doubles; the board holds their singles.
    EXPECT_TRUE(b.protocol.VerifyCalibration(0));
    b.edit([](SharedData& d) { d.devices[0].a[1] = 0.3334; });
    EXPECT_FALSE(b.protocol.VerifyCalibration(0));
}

TEST(Calibration, FirstFailureStopsTheUploadAndBadIndexesSendNothing) {
    ProtocolBench b;
    b.edit([](SharedData& d) { d.currentAddresses = {"101", "65535"}; });
    b.answer("WM 7C 4 0 0 0 0", {});
    EXPECT_FALSE(b.protocol.UploadCalibration(0));
    const auto lines = b.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "@@101 WM 7C 4 0 0 0 0"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "@@101 WM 80 4 0 0 0 0"), lines.end());
    b.bus.clearReceivedLines();
    // Outside the list, or the broadcast address: nothing goes out.
    EXPECT_FALSE(b.protocol.UploadCalibration(2));
    EXPECT_FALSE(b.protocol.UploadCalibration(1));
    EXPECT_FALSE(b.protocol.VerifyCalibration(1));
    EXPECT_FALSE(b.protocol.VerifyCalibration(-1));
    EXPECT_TRUE(b.lines().empty());
}

// A line the board heard otherwise than it was sent, with its echo or
// without: the cells it wrote are put back from the copy, written again when
// they are the upload's own, or reported by name; nothing is left silently.
TEST(StrayWrites, EveryStrayCellIsPutBackOrNamed) {
    const struct {
        const char* sent;
        const char* heard;
        bool answered;
        std::vector<StrayReport> reports;
        int cell;       // a cell of board 0 to look at afterwards
        uint8_t holds;  // what it must hold
    } cases[] = {
        // The echo names axis B's cell: read back and named.
        {"@@101 WE 52 03", "@@101 WE A2 03", true, {{"101", 0xA2, 1, StrayKind::Written}}, 0xA2, 3},
        // A lost digit hit the device type: its letter is written back.
        {"@@101 WE 52 03",
         "@@101 WE 2 03",
         true,
         {{"101", 0x02, 1, StrayKind::Restored}},
         0x02,
         'M'},
        // Without an echo: a sensor setting changed, put back from the copy.
        {"@@101 WE 52 03",
         "@@101 WE 42 03",
         false,
         {{"101", 0x42, 1, StrayKind::Restored}},
         0x42,
         1},
        // Without an echo, in a cell nobody copied: it holds the byte, so named.
        {"@@101 WE 56 0C",
         "@@101 WE 16 0C",
         false,
         {{"101", 0x16, 1, StrayKind::Possible}},
         0x16,
         0x0C},
        // A word landed on axis B: its four cells named as one.
        {"@@101 WM 74 4 CD CC CC 3D",
         "@@101 WM B4 4 CD CC CC 3D",
         true,
         {{"101", 0xB4, 4, StrayKind::Written}},
         0xB7,
         0x3D},
        // Another of the upload's own cells: written again, nothing to say.
        {"@@101 WE 55 1A", "@@101 WE 50 1A", true, {}, 0x50, 1},
        // Heard by another board: the upload cannot tell (the verify below does).
        {"@@101 WE 57 07", "@@801 WE 57 07", true, {}, 0x57, 15},
    };
    const sim::BoardMemory factory = sim::FactoryMemory(sim::VariedBoard("101", 7));
    for (const auto& c : cases) {
        ProtocolBench b({"101", "801"});
        b.protocol.setRepeatAttempts(3);
        b.edit([](SharedData& d) {
            d.currentAddresses = {"101"};
            setConstants(d, 0, 0.0);
            d.settings.axisSelector = 1;
        });
        b.bus.mishearNextLine(c.sent, c.heard, c.answered);
        EXPECT_TRUE(b.protocol.UploadCalibration(0)) << c.heard;
        EXPECT_EQ(b.data().worker.strayReports, c.reports) << c.heard;
        EXPECT_EQ(b.memory(0, c.cell), c.holds) << c.heard;
        for (int cell = 0; cell < 0x50; ++cell) {
            if (cell == c.cell) continue;
            EXPECT_EQ(b.memory(0, cell), factory.get(cell)) << c.heard << " " << cell;
        }
    }
    // The verify finds the byte the board confirmed missing: another board took it.
    ProtocolBench b({"101", "801"});
    b.protocol.setRepeatAttempts(3);
    b.edit([](SharedData& d) {
        d.currentAddresses = {"101"};
        setConstants(d, 0, 0.0);
    });
    b.bus.mishearNextLine("@@101 WE 57 07", "@@801 WE 57 07");
    ASSERT_TRUE(b.protocol.UploadCalibration(0));
    EXPECT_EQ(b.memory(1, 0x57), 7);
    EXPECT_FALSE(b.protocol.VerifyCalibration(0));
    EXPECT_EQ(b.data().worker.strayReports,
              (std::vector<StrayReport>{{"101", 0x57, 1, StrayKind::OtherBoard}}));
}

// The verify reads every byte an upload writes: the fixed bytes exactly, the
// date as a real day not later than today (the bench's today: 2026-12-07).
TEST(Calibration, VerifyReadsTheFixedBytesAndTheDate) {
    const struct {
        std::vector<std::pair<int, int>> writes;  // cell, byte after the upload
        bool verifies;
    } cases[] = {
        {{}, true},
        {{{0x56, 11}}, true},
        {{{0x55, 25}, {0x56, 2}, {0x57, 28}}, true},
        {{{0x57, 8}}, false},  // later than today
        {{{0x55, 27}, {0x56, 1}}, false},
        {{{0x56, 13}}, false},  // no such month or day
        {{{0x57, 0}}, false},
        {{{0x55, 25}, {0x56, 2}, {0x57, 29}}, false},  // 2025 had no 29 February
        {{{0x55, 24}, {0x56, 2}, {0x57, 29}}, true},
        {{{0x54, 19}}, false},  // another century
        {{{0x50, 2}}, false},   // fixed bytes
        {{{0x53, 0}}, false},
    };
    for (const auto& c : cases) {
        ProtocolBench b;
        b.edit([](SharedData& d) {
            d.currentAddresses = {"101"};
            setConstants(d, 0, 0.5);
        });
        ASSERT_TRUE(b.protocol.UploadCalibration(0));
        b.protocol.beginTransfer();  // a verify of its own, as against a file later
        for (const auto& [cell, byte] : c.writes)
            ASSERT_TRUE(b.protocol.WriteEepromByte(cell, byte));
        EXPECT_EQ(b.protocol.VerifyCalibration(0), c.verifies)
            << ::testing::PrintToString(c.writes);
    }
}

// What a board's reply proves on a line that may change bytes either way.
TEST(NoisyMemory, OnlyAWholeEchoOrAWellFormedValueCounts) {
    const struct {
        const char* command;  // as the host sends it
        const char* reply;    // what comes back
        bool counts;
        int lines;  // lines sent with three attempts allowed
    } cases[] = {
        {"WM 70 4 0 0 80 3F", "WM 70 4 0 0 80 3F\r\n", true, 1},
        // The board heard another value: its cell is written again.
        {"WM 70 4 0 0 80 3F", "WM 70 4 0 0 80 3E\r\n", false, 3},
        {"WM 70 4 0 0 80 3F", "WM 70 4 0 0\r\n", false, 3},
        // It wrote another cell: sending the line again cannot mend that.
        {"WM 70 4 0 0 80 3F", "WM 10 4 0 0 80 3F\r\n", false, 1},
        {"WE 58 F8", "WE 18 F8\r\n", false, 1},
        {"WE 58 F8", "WE 58 F9\r\n", false, 3},
        {"RE 73", "RE 73 3F\r\n", true, 1},
        {"RE 73", "RE 73\r\n", false, 3},
        {"RE 73", "RE 73 3G\r\n", false, 3},
        {"RE 73", "RE 733F\r\n", false, 3},
        {"RE 73", "RE 73 13F\r\n", false, 3},  // more than a byte
        {"RE 73", "xRE 73 3F\r\n", false, 3},
    };
    for (const auto& c : cases) {
        ProtocolBench b;
        b.protocol.setRepeatAttempts(3);
        b.setTarget("101");
        b.answer(c.command, {c.reply});
        const std::string command = c.command;
        uint8_t byte = 0;
        const bool ok = command.rfind("WM", 0) == 0   ? b.protocol.WriteMemoryWord(0x70, 0x3F800000)
                        : command.rfind("WE", 0) == 0 ? b.protocol.WriteEepromByte(0x58, 0xF8)
                                                      : b.protocol.ReadEepromByte(0x73, 1200, byte);
        EXPECT_EQ(ok, c.counts) << c.command << " / " << c.reply;
        EXPECT_EQ(b.lines().size(), static_cast<size_t>(c.lines)) << c.command << " / " << c.reply;
        if (ok && command.rfind("RE", 0) == 0) {
            EXPECT_EQ(byte, 0x3F);
        }
    }
}

}  // namespace
}  // namespace clinora
