// Writing calibration constants to the boards and verifying them.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/board_memory.h"
#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

// `before`, then an upload to `address` that fails four times in a row.
Events FailingUpload(Events before, int address) {
    for (int retry : {1, 2, 3, static_cast<int>(kEventUploadFailed)}) {
        before.emplace_back(kEventUploadStarting, address);
        before.emplace_back(kEventUploadFailed, retry);
    }
    return before;
}

class WorkerUpload : public ::testing::Test {
protected:
    WorkerRig rig{{"101", "102", "103"}};
    RequestRecord record;

    void SetUp() override {
        record.targetAddress = "101";
        rig.state.locked([](SharedData& d) {
            for (int i = 0; i < 3; ++i) {
                for (int k = 0; k < 6; ++k) {
                    d.devices[i].a[k] = 0.01 * (i + 1) + 0.125 * k;
                    d.devices[i].b[k] = -0.02 * (i + 1) - 0.25 * k;
                }
                d.devices[i].aCrossLinear = 0.5;
                d.devices[i].bCrossQuadratic = -0.75;
            }
        });
        rig.monitor();
    }
    void setWriteTarget(int target) {
        rig.state.locked([&](SharedData& d) { d.worker.writeTarget = target; });
    }
    // Runs a request on a resting worker until it rests again (state 13 or 28).
    void run(uint32_t code) {
        rig.pass();
        ASSERT_TRUE(rig.request(code, record));
        ASSERT_TRUE(rig.runUntil(
            [&] {
                return rig.current() == kStateHeartbeat || rig.current() == kStateSingleReading;
            },
            1000000));
    }
    // The events of the request, without heartbeats and monitoring.
    Events requestEvents() {
        Events out;
        for (const auto& e : rig.page->codes(rig.mark)) {
            if (e.first != 13 && e.first != 28) out.push_back(e);
        }
        return out;
    }
    sim::AxisConstants boardConstants(size_t board, uint8_t base) {
        return rig.bus.inspectBoard(
            board, [&](const sim::SimBoard& b) { return b.memory().constants(base); });
    }
    sim::AxisConstants recordConstants(int i, bool axisA) {
        const DeviceRecord r = rig.state.snapshot().devices[i];
        sim::AxisConstants c{};
        for (int k = 0; k < 6; ++k) c[k] = static_cast<float>(axisA ? r.a[k] : r.b[k]);
        c[6] = static_cast<float>(axisA ? r.aCrossLinear : r.bCrossLinear);
        c[7] = static_cast<float>(axisA ? r.aCrossQuadratic : r.bCrossQuadratic);
        return c;
    }
    int count(int code) {
        const Events e = rig.page->codes(rig.mark);
        return static_cast<int>(
            std::count_if(e.begin(), e.end(), [&](const auto& p) { return p.first == code; }));
    }
};

TEST_F(WorkerUpload, WriteToAllBoardsThenVerifyAll) {
    run(kWriteCalibrationRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateWriteProbe, kStateUpload,
                                           kStateHeartbeat}));
    EXPECT_EQ(requestEvents(), (Events{{kEventBoardWritten, kEventBoardWritten},
                                       {kEventWriteProbe, kEventWriteProbe},
                                       {kEventUploadStarting, 101},
                                       {kEventBoardWritten, 101},
                                       {kEventUploadStarting, 102},
                                       {kEventBoardWritten, 102},
                                       {kEventUploadStarting, 103},
                                       {kEventBoardWritten, 103},
                                       {kEventUploadsDone, 103}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(boardConstants(i, sim::kConstantsCellA), recordConstants(i, true)) << i;
    }

    run(kVerifyCalibrationRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateHeartbeat, kStateVerifyProbe, kStateVerify,
                                           kStateHeartbeat}));
    EXPECT_EQ(requestEvents(), (Events{{kEventBoardVerified, kEventBoardVerified},
                                       {kEventVerifyProbe, kEventVerifyProbe},
                                       {kEventVerifyStarting, 101},
                                       {kEventBoardVerified, 101},
                                       {kEventVerifyStarting, 102},
                                       {kEventBoardVerified, 102},
                                       {kEventVerifyStarting, 103},
                                       {kEventBoardVerified, 103},
                                       {kEventVerifiesDone, 103}}));
}

TEST_F(WorkerUpload, WriteToOneBoardLeavesTheOthersAlone) {
    setWriteTarget(1);
    const auto untouched = boardConstants(0, sim::kConstantsCellA);
    run(kWriteCalibrationRequest);
    EXPECT_EQ(requestEvents(), (Events{{kEventBoardWritten, kEventBoardWritten},
                                       {kEventWriteProbe, kEventWriteProbe},
                                       {kEventUploadStarting, 102},
                                       {kEventUploadsDone, 102}}));
    EXPECT_EQ(boardConstants(1, sim::kConstantsCellA), recordConstants(1, true));
    EXPECT_EQ(boardConstants(0, sim::kConstantsCellA), untouched);
}

TEST_F(WorkerUpload, WriteFailuresCountUpThenGiveUpThroughStateZero) {
    setWriteTarget(1);
    rig.bus.setReplyOverride(1, "I", {});  // the board never confirms the upload
    run(kWriteCalibrationRequest);
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateWriteProbe, kStateUpload,
                                kStateIdleReset, kStateUnitsAndTrigger, kStateSingleReading}));
    EXPECT_EQ(Folded(requestEvents()), FailingUpload({{kEventBoardWritten, kEventBoardWritten},
                                                      {kEventWriteProbe, kEventWriteProbe}},
                                                     102));
    // Retried after ten count-down passes, each of which repeats the count.
    const Events events = requestEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), std::pair<int, int>{kEventUploadFailed, 1}),
              11);
}

TEST_F(WorkerUpload, SingleBoardVerifyGivesUpAfterThreeFailuresAllBoardsAfterFour) {
    // Nothing uploaded: the boards hold their factory constants.
    setWriteTarget(2);
    run(kVerifyCalibrationRequest);
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateVerifyProbe, kStateVerify,
                                kStateIdleReset, kStateUnitsAndTrigger, kStateSingleReading}));
    EXPECT_EQ(count(kEventVerifyStarting), 3);
    EXPECT_EQ(Folded(requestEvents()), (Events{{kEventBoardVerified, kEventBoardVerified},
                                               {kEventVerifyProbe, kEventVerifyProbe},
                                               {kEventVerifyStarting, 103},
                                               {kEventVerifyFailed, 1},
                                               {kEventVerifyStarting, 103},
                                               {kEventVerifyFailed, 2},
                                               {kEventVerifyStarting, 103},
                                               {kEventVerifyFailed, kEventVerifyFailed}}));

    setWriteTarget(3);
    run(kVerifyCalibrationRequest);
    EXPECT_EQ(count(kEventVerifyStarting), 4);
    const Events tail = Folded(requestEvents());
    EXPECT_EQ(Events(tail.end() - 3, tail.end()),
              (Events{{kEventVerifyFailed, 3},
                      {kEventVerifyStarting, 101},
                      {kEventVerifyFailed, kEventVerifyFailed}}));
}

// Pulled while board 102 is written: a write whose echo never came may have
// gone anywhere on that board, and nothing can be read back to tell; that is
// said before the final failure.
TEST_F(WorkerUpload, CableGoneInTheMiddleOfAnUploadEndsInTheFinalFailure) {
    rig.pass();
    // The probe, board 101 (its copy of 22 cells, 17 writes and "I"), board
    // 102's copy and a few of its writes.
    rig.bus.unplugAfterLines(1 + 40 + 22 + 5);
    ASSERT_TRUE(rig.request(kWriteCalibrationRequest, record));
    ASSERT_TRUE(rig.runUntilEvent(kEventUploadFailed, 600000));
    ASSERT_TRUE(
        rig.runUntil([&] { return requestEvents().back().second == kEventUploadFailed; }, 600000));
    EXPECT_EQ(count(kEventUploadsDone), 0);
    Events expected = FailingUpload({{kEventBoardWritten, kEventBoardWritten},
                                     {kEventWriteProbe, kEventWriteProbe},
                                     {kEventUploadStarting, 101},
                                     {kEventBoardWritten, 101}},
                                    102);
    expected.insert(expected.end() - 1, {kEventStrayWrite, 0});
    EXPECT_EQ(Folded(requestEvents()), expected);
    EXPECT_EQ(rig.state.snapshot().worker.strayReports,
              (std::vector<StrayReport>{{"102", 0, 1, StrayKind::Unchecked}}));
}

TEST_F(WorkerUpload, BiaxialWriteOfOneBoardWritesBothAxes) {
    setWriteTarget(2);
    run(kBiaxialWriteRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateBiaxialProbe,
                                           kStateBiaxialUpload, kStateHeartbeat}));
    EXPECT_EQ(requestEvents(), (Events{{kEventBiaxialWrite, kEventBiaxialWrite},
                                       {kEventBiaxialProbe, kEventBiaxialProbe},
                                       {kEventUploadStarting, 103},
                                       {kEventUploadsDone, 103}}));
    EXPECT_EQ(boardConstants(2, sim::kConstantsCellA), recordConstants(2, true));
    EXPECT_EQ(boardConstants(2, sim::kConstantsCellB), recordConstants(2, false));
}

TEST_F(WorkerUpload, BiaxialWriteOutsideTheAddressListIsRefusedWithoutBusTraffic) {
    for (int target : {3, -1}) {
        setWriteTarget(target);
        rig.pass();
        rig.bus.clearReceivedLines();
        ASSERT_TRUE(rig.request(kBiaxialWriteRequest, record));
        rig.pass();
        EXPECT_EQ(rig.trail,
                  (std::vector<int>{kStateSingleReading, kStateBiaxialProbe, kStateIdleReset}))
            << target;
        EXPECT_EQ(requestEvents(), (Events{{kEventBiaxialWrite, kEventBiaxialWrite},
                                           {kEventUploadFailed, kEventUploadFailed}}))
            << target;
        EXPECT_TRUE(rig.bus.receivedLines().empty()) << target;
        rig.monitor();
    }
}

}  // namespace
}  // namespace clinora::test
