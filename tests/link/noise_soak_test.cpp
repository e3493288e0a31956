// The three-board write and verify on a noisy line, faults both ways, with a
// board on the bus whose address is one digit from a target's: many seeded
// runs on virtual time, each checked against every byte of every board.
// CLINORA_SOAK_RUNS sets the runs at low noise (a quarter of them at heavy).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "link/reading_format.h"
#include "worker_rig.h"

namespace clinora::test {
namespace {

// The full counts in an optimised build (a few seconds); a tenth of them in
// the sanitizer builds, which run them some twenty times slower.
#ifdef NDEBUG
constexpr int kDefaultRuns = 2000;
#else
constexpr int kDefaultRuns = 200;
#endif

struct Tally {
    int runs = 0;
    int successes = 0;         // write and verify succeeded, nothing reported
    int failures = 0;          // a failure or a stray write reported (honest on a bad line)
    int strayReports = 0;      // runs that named a cell changed besides the upload's
    int restored = 0;          // runs that put a stray cell back
    int falseSuccesses = 0;    // a success while any board holds other bytes than it should
    int unreportedStrays = 0;  // a cell changed besides the upload's, and nothing said
    int unfinished = 0;        // a request that had not ended within the limit
    int64_t longestMs = 0;
};

constexpr int64_t kRequestLimitMs = 3600 * 1000;
const std::vector<std::string> kTargets = {"101", "102", "103"};
const std::vector<std::string> kOnTheBus = {"101", "102", "103", "801"};

int SoakRuns(int fallback) {
    const char* text = std::getenv("CLINORA_SOAK_RUNS");
    const int runs = text ? std::atoi(text) : 0;
    return runs > 0 ? runs : fallback;
}

// The cells an axis A upload writes, with the bytes meant for them.
std::map<int, uint8_t> MeantCells(const DeviceRecord& r) {
    std::map<int, uint8_t> cells;
    std::array<float, 8> values{};
    for (int k = 0; k < 6; ++k) values[k] = static_cast<float>(r.a[k]);
    values[6] = static_cast<float>(r.aCrossLinear);
    values[7] = static_cast<float>(r.aCrossQuadratic);
    for (int k = 0; k < 8; ++k) {
        const uint32_t w = FloatToWord(values[k]);
        for (int i = 0; i < 4; ++i) cells[0x70 + 4 * k + i] = static_cast<uint8_t>(w >> (8 * i));
    }
    cells[0x58] = AxisChecksum(values);
    const uint8_t dateAndFixed[8] = {1, 1, 3, 1, 20, 24, 5, 17};  // the rig's date: 2024-05-17
    for (int i = 0; i < 8; ++i) cells[0x50 + i] = dateAndFixed[i];
    return cells;
}

class Soak {
public:
    Soak(uint32_t seed, const sim::LineFaults& faults) : rig_(kOnTheBus, seed) {
        rig_.state.locked([&](SharedData& d) {
            d.currentAddresses = kTargets;
            d.worker.boardCount = d.worker.writeTarget = 3;
            for (int b = 0; b < 3; ++b) {
                for (int k = 0; k < 6; ++k) d.devices[b].a[k] = 1e-3 * seed - 0.37 * (b + 1) * k;
                d.devices[b].aCrossLinear = 0.01 * b;
                d.devices[b].aCrossQuadratic = -1e-4 * seed;
            }
        });
        rig_.monitor();  // connected on a clean line; the noise starts with the work
        for (size_t b = 0; b < kOnTheBus.size(); ++b) before_.push_back(memory(b));
        rig_.bus.setFaults(faults);
    }

    void run(Tally& t) {
        ++t.runs;
        Outcome outcome =
            request(kWriteCalibrationRequest, kEventUploadsDone, kEventUploadFailed, t);
        if (outcome == Outcome::Success)
            outcome = request(kVerifyCalibrationRequest, kEventVerifiesDone, kEventVerifyFailed, t);
        bool strayReported = false;
        for (const StrayReport& r : rig_.state.snapshot().worker.strayReports) {
            strayReported = strayReported || !StrayIsMended(r);
            t.restored += StrayIsMended(r) ? 1 : 0;
        }
        const bool success = outcome == Outcome::Success && !strayReported;
        const auto [meantHeld, othersKept] = judgeBoards();
        t.successes += success;
        t.failures += outcome == Outcome::Failure || (outcome == Outcome::Success && !success);
        t.unfinished += outcome == Outcome::Unfinished;
        t.strayReports += strayReported;
        t.falseSuccesses += success && !(meantHeld && othersKept);
        t.unreportedStrays += !othersKept && !strayReported;
    }

private:
    enum class Outcome { Success, Failure, Unfinished };

    Outcome request(uint32_t code, int done, int failed, Tally& t) {
        rig_.pass();
        RequestRecord record;
        record.targetAddress = "101";
        EXPECT_TRUE(rig_.request(code, record));
        const int64_t start = rig_.clock.nowMs();
        Outcome outcome = Outcome::Unfinished;
        size_t seen = rig_.mark;
        rig_.runUntil(
            [&] {
                const size_t size = rig_.page->size();
                const auto events = rig_.page->codes(seen);
                seen = size;
                for (const auto& [event, detail] : events) {
                    if (event == done) outcome = Outcome::Success;
                    if ((event == failed && detail == failed) || event == kEventNoBoard)
                        outcome = Outcome::Failure;
                }
                return outcome != Outcome::Unfinished;
            },
            kRequestLimitMs);
        t.longestMs = std::max(t.longestMs, rig_.clock.nowMs() - start);
        return outcome;
    }

    std::array<uint8_t, 256> memory(size_t board) const {
        return rig_.bus.inspectBoard(board,
                                     [](const sim::SimBoard& s) { return s.memory().bytes(); });
    }

    // Whether the targets hold every byte meant, and whether every other cell
    // of every board (the targets' other cells, the board at 801) is as it was.
    std::pair<bool, bool> judgeBoards() const {
        const SharedData d = rig_.state.snapshot();
        bool meantHeld = true, othersKept = true;
        for (size_t b = 0; b < kOnTheBus.size(); ++b) {
            const auto now = memory(b);
            const auto meant =
                b < kTargets.size() ? MeantCells(d.devices[b]) : std::map<int, uint8_t>{};
            for (int cell = 0; cell < 256; ++cell) {
                if (const auto it = meant.find(cell); it != meant.end()) {
                    meantHeld = meantHeld && now[cell] == it->second;
                } else {
                    othersKept = othersKept && now[cell] == before_[b][cell];
                }
            }
        }
        return {meantHeld, othersKept};
    }

    WorkerRig rig_;
    std::vector<std::array<uint8_t, 256>> before_;
};

Tally RunSoak(const sim::LineFaults& faults, int runs) {
    Tally t;
    for (int seed = 1; seed <= runs; ++seed) Soak(static_cast<uint32_t>(seed), faults).run(t);
    std::printf(
        "soak replies lost %.2f garbled %.2f cut %.2f, commands losing a byte %.2f, changing one "
        "%.2f: %d runs, %d successes, %d failures reported (%d naming a stray write), %d stray "
        "cells put back, %d false successes, %d stray writes unreported, %d unfinished, longest "
        "request %.0f s\n",
        faults.drop, faults.garble, faults.cut, faults.commandLoss, faults.commandChange, t.runs,
        t.successes, t.failures, t.strayReports, t.restored, t.falseSuccesses, t.unreportedStrays,
        t.unfinished, t.longestMs / 1000.0);
    return t;
}

TEST(NoisyLine, ThreeBoardWriteAndVerifyAlmostAlwaysSucceedsAtLowNoise) {
    const Tally t = RunSoak({0.02, 0.01, 0.01, 0.02, 0.01}, SoakRuns(kDefaultRuns));
    EXPECT_EQ(t.falseSuccesses, 0);
    EXPECT_EQ(t.unreportedStrays, 0);
    EXPECT_EQ(t.unfinished, 0);
    EXPECT_GE(t.successes * 100, t.runs * 98);
}

TEST(NoisyLine, HeavyNoiseNeverEndsInAFalseSuccessOrASilentStrayAndAlwaysEnds) {
    const Tally t =
        RunSoak({0.10, 0.05, 0.05, 0.10, 0.05}, std::max(1, SoakRuns(kDefaultRuns) / 4));
    EXPECT_EQ(t.falseSuccesses, 0);
    EXPECT_EQ(t.unreportedStrays, 0);
    EXPECT_EQ(t.unfinished, 0);
    EXPECT_EQ(t.successes + t.failures, t.runs);
}

}  // namespace
}  // namespace clinora::test
