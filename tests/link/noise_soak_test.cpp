// The three-board write and verify on a noisy line: many seeded runs on
// virtual time, each checked against the bytes the boards were meant to get.
// CLINORA_SOAK_RUNS sets the number of runs per noise level.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "link/reading_format.h"
#include "worker_rig.h"

namespace clinora::test {
namespace {

struct Tally {
    int runs = 0;
    int successes = 0;       // write and verify both reported success
    int failures = 0;        // a failure reported (the honest outcome on a bad line)
    int falseSuccesses = 0;  // a success reported while a board holds other bytes
    int unfinished = 0;      // a request that had not ended within the limit
    int64_t longestMs = 0;   // the longest request
};

constexpr int64_t kRequestLimitMs = 3600 * 1000;

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
    Soak(uint32_t seed, const sim::LineFaults& faults) : rig_({"101", "102", "103"}, seed) {
        rig_.state.locked([&](SharedData& d) {
            for (int b = 0; b < 3; ++b) {
                for (int k = 0; k < 6; ++k) d.devices[b].a[k] = 1e-3 * seed - 0.37 * (b + 1) * k;
                d.devices[b].aCrossLinear = 0.01 * b;
                d.devices[b].aCrossQuadratic = -1e-4 * seed;
            }
        });
        rig_.monitor();  // connected on a clean line; the noise starts with the work
        rig_.bus.setFaults(faults);
    }

    void run(Tally& t) {
        ++t.runs;
        const auto write =
            request(kWriteCalibrationRequest, kEventUploadsDone, kEventUploadFailed, t);
        if (write != Outcome::Success) return count(write, t);
        count(request(kVerifyCalibrationRequest, kEventVerifiesDone, kEventVerifyFailed, t), t,
              true);
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
        if (outcome == Outcome::Success && !boardsHoldWhatWasMeant()) ++t.falseSuccesses;
        return outcome;
    }

    void count(Outcome o, Tally& t, bool verified = false) {
        if (o == Outcome::Unfinished) ++t.unfinished;
        if (o == Outcome::Failure) ++t.failures;
        if (o == Outcome::Success && verified) ++t.successes;
    }

    bool boardsHoldWhatWasMeant() const {
        const SharedData d = rig_.state.snapshot();
        for (size_t b = 0; b < 3; ++b) {
            for (const auto& [cell, meant] : MeantCells(d.devices[b])) {
                const uint8_t held = rig_.bus.inspectBoard(b, [&](const sim::SimBoard& s) {
                    return s.memory().get(static_cast<uint8_t>(cell));
                });
                if (held != meant) return false;
            }
        }
        return true;
    }

    WorkerRig rig_;
};

Tally RunSoak(const sim::LineFaults& faults, int runs) {
    Tally t;
    for (int seed = 1; seed <= runs; ++seed) Soak(static_cast<uint32_t>(seed), faults).run(t);
    std::printf(
        "soak drop %.2f garble %.2f cut %.2f: %d runs, %d successes, %d failures reported, "
        "%d false successes, %d unfinished, longest request %.0f s\n",
        faults.drop, faults.garble, faults.cut, t.runs, t.successes, t.failures, t.falseSuccesses,
        t.unfinished, t.longestMs / 1000.0);
    return t;
}

TEST(NoisyLine, ThreeBoardWriteAndVerifyAlmostAlwaysSucceedsAtLowNoise) {
    // Both directions: replies lost, garbled or cut; command bytes lost or changed.
    const Tally t = RunSoak({0.02, 0.01, 0.01, 0.02, 0.01}, SoakRuns(200));
    EXPECT_EQ(t.falseSuccesses, 0);
    EXPECT_EQ(t.unfinished, 0);
    EXPECT_GE(t.successes * 100, t.runs * 99);
}

TEST(NoisyLine, HeavyNoiseNeverEndsInAFalseSuccessAndAlwaysEnds) {
    const Tally t = RunSoak({0.10, 0.05, 0.05, 0.10, 0.05}, SoakRuns(100));
    EXPECT_EQ(t.falseSuccesses, 0);
    EXPECT_EQ(t.unfinished, 0);
    EXPECT_EQ(t.successes + t.failures, t.runs);
}

}  // namespace
}  // namespace clinora::test
