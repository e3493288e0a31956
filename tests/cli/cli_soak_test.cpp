// clinora-cli's upload (with its verify) of one board, cycle after cycle on a
// noisy line, on virtual time: how many cycles succeed, and whether any
// success or silence hides a wrong byte on any board of the bus.
// CLINORA_SOAK_RUNS sets the number of cycles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli_bus.h"
#include "cli_commands.h"
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

// Board 101 of the demo bus, written once with the file on a clean line,
// gives every board's memory as the upload leaves it; on a noisy line a
// success must leave exactly that, and anything else may differ only in the
// cells that upload changes.
TEST(CliSoak, NinetyNineInAHundredUploadsSucceedAndNoneLies) {
    clinora::testing::TempFolder folder;
    const std::filesystem::path file = folder / "00101_CAL_DATA_AXIS_A_01-02-25.csv";
    std::filesystem::copy_file(CLINORA_TEST_DATA "/calib/cal_a_n11.csv", file);
    const ParsedArguments parsed =
        ParseArguments(testing::Words("--simulate upload " + file.string() + " --address 101"));
    ASSERT_EQ(parsed.kind, ParsedArguments::Kind::Run);
    const auto cycle = [&](uint32_t seed, const sim::LineFaults& faults,
                           std::vector<Memory>& before, std::vector<Memory>& after,
                           std::string& said) {
        VirtualClock clock;
        auto bus = sim::MakeDemoBus(clock, seed);
        clock.advance(2000);
        const auto memories = [&] {
            std::vector<Memory> m;
            for (size_t b = 0; b < 3; ++b)
                m.push_back(bus->inspectBoard(
                    b, [](const sim::SimBoard& s) { return s.memory().bytes(); }));
            return m;
        };
        before = memories();
        bus->setFaults(faults);
        std::ostringstream out, err;
        CliIo io{out, err, false, {}, {}, {}};
        CliBus cliBus(*bus, clock, "simulated-bus");
        const int status = RunCommand(parsed.options, cliBus, io);
        after = memories();
        said = err.str();
        return status;
    };
    std::vector<Memory> before, written;
    std::string said;
    ASSERT_EQ(cycle(1, {}, before, written, said), kExitOk) << said;

    const int cycles = Cycles(kDefaultRuns);
    int ok = 0, failed = 0, strays = 0, falseSuccesses = 0, unreported = 0;
    for (int seed = 1; seed <= cycles; ++seed) {
        std::vector<Memory> after;
        const int status =
            cycle(static_cast<uint32_t>(seed), {0.02, 0.01, 0.01, 0.02, 0.01}, before, after, said);
        bool othersKept = true;
        for (size_t b = 0; b < 3; ++b) {
            for (int cell = 0; cell < 256; ++cell)
                othersKept = othersKept && (after[b][cell] == before[b][cell] ||
                                            written[b][cell] != before[b][cell]);
        }
        ok += status == kExitOk;
        failed += status == kExitFailure;
        strays += status == kExitStrayWrite;
        falseSuccesses += status == kExitOk && after != written;
        unreported += !othersKept && said.find("A garbled command") == std::string::npos &&
                      said.find("was taken by another board") == std::string::npos &&
                      said.find("could not be checked") == std::string::npos;
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
