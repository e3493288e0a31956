// clinora-cli's upload (with its verify) of one board, cycle after cycle on a
// noisy line, on virtual time: how many cycles succeed, and whether any
// success or silence hides a wrong byte on any board of the bus.
// CLINORA_SOAK_RUNS sets the number of cycles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_bus.h"
#include "cli_commands.h"
#include "link/reading_format.h"
#include "sim/demo_bus.h"
#include "temp_folder.h"
#include "words.h"

namespace clinora::cli {
namespace {

// The full counts in an optimised build (a few seconds); a tenth of them in
// the sanitizer builds, which run them some twenty times slower.
#ifdef NDEBUG
constexpr int kDefaultRuns = 2000;
#else
constexpr int kDefaultRuns = 200;
#endif

using Memory = std::array<uint8_t, 256>;

int Cycles(int fallback) {
    const char* text = std::getenv("CLINORA_SOAK_RUNS");
    const int runs = text ? std::atoi(text) : 0;
    return runs > 0 ? runs : fallback;
}

TEST(CliSoak, NinetyNineInAHundredUploadsSucceedAndNoneLies) {
    clinora::testing::TempFolder folder;
    const std::filesystem::path file = folder / "00101_CAL_DATA_AXIS_A_01-02-25.csv";
    std::filesystem::copy_file(CLINORA_TEST_DATA "/calib/cal_a_n11.csv", file);
    const ParsedArguments parsed =
        ParseArguments(testing::Words("--simulate upload " + file.string() + " --address 101"));
    ASSERT_EQ(parsed.kind, ParsedArguments::Kind::Run);
    // The file's axis A constants, and the date and fixed bytes of today.
    const std::array<float, 8> fileA = {-1.25f, 0.5f,      1e-4f,    -2.4e-6f,
                                        0.0f,   3.125e-8f, 1.23e-2f, -4.5e-4f};
    const LocalDateTime today = SystemLocalTime();
    std::map<int, uint8_t> meant;
    for (int k = 0; k < 8; ++k) {
        for (int i = 0; i < 4; ++i)
            meant[0x70 + 4 * k + i] = static_cast<uint8_t>(FloatToWord(fileA[k]) >> (8 * i));
    }
    meant[0x58] = AxisChecksum(fileA);
    const int tail[8] = {1, 1, 3, 1, 20, today.year % 100, today.month, today.day};
    for (int i = 0; i < 8; ++i) meant[0x50 + i] = static_cast<uint8_t>(tail[i]);

    const int cycles = Cycles(kDefaultRuns);
    int ok = 0, failed = 0, strays = 0, falseSuccesses = 0, unreported = 0;
    for (int seed = 1; seed <= cycles; ++seed) {
        VirtualClock clock;
        auto bus = sim::MakeDemoBus(clock, static_cast<uint32_t>(seed));
        clock.advance(2000);
        std::vector<Memory> before;
        for (size_t b = 0; b < 3; ++b)
            before.push_back(
                bus->inspectBoard(b, [](const sim::SimBoard& s) { return s.memory().bytes(); }));
        bus->setFaults({0.02, 0.01, 0.01, 0.02, 0.01});
        std::ostringstream out, err;
        CliIo io{out, err, false, {}, {}, {}};
        CliBus cliBus(*bus, clock, "simulated-bus");
        const int status = RunCommand(parsed.options, cliBus, io);
        bool meantHeld = true, othersKept = true;
        for (size_t b = 0; b < 3; ++b) {
            const Memory now =
                bus->inspectBoard(b, [](const sim::SimBoard& s) { return s.memory().bytes(); });
            for (int cell = 0; cell < 256; ++cell) {
                if (b == 0 && meant.count(cell)) {
                    meantHeld = meantHeld && now[cell] == meant[cell];
                } else {
                    othersKept = othersKept && now[cell] == before[b][cell];
                }
            }
        }
        ok += status == kExitOk;
        failed += status == kExitFailure;
        strays += status == kExitStrayWrite;
        falseSuccesses += status == kExitOk && !(meantHeld && othersKept);
        unreported += !othersKept && err.str().find("A garbled command") == std::string::npos &&
                      err.str().find("was taken by another board") == std::string::npos &&
                      err.str().find("could not be checked") == std::string::npos;
    }
    std::printf(
        "cli upload and verify of board 101, replies lost 0.02 garbled 0.01 cut 0.01, "
        "commands losing a byte 0.02, changing one 0.01: %d cycles, %d succeeded, %d "
        "failed, %d named a stray write, %d false successes, %d stray writes unreported\n",
        cycles, ok, failed, strays, falseSuccesses, unreported);
    EXPECT_GE(ok * 100, cycles * 99);
    EXPECT_EQ(falseSuccesses, 0);
    EXPECT_EQ(unreported, 0);
}

}  // namespace
}  // namespace clinora::cli
