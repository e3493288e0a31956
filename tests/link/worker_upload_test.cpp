// Writing calibration constants to the boards and verifying them.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/board_memory.h"
#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

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
        ASSERT_TRUE(
            rig.runUntil([&] { return rig.current() == 13 || rig.current() == 28; }, 1000000));
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
    EXPECT_EQ(rig.trail, (std::vector<int>{28, 24, 32, 13}));
    EXPECT_EQ(requestEvents(), (Events{{32, 32},
                                       {24, 24},
                                       {100, 101},
                                       {32, 101},
                                       {100, 102},
                                       {32, 102},
                                       {100, 103},
                                       {32, 103},
                                       {101, 103}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(boardConstants(i, sim::kConstantsCellA), recordConstants(i, true)) << i;
    }

    run(kVerifyCalibrationRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{13, 27, 39, 13}));
    EXPECT_EQ(requestEvents(), (Events{{39, 39},
                                       {27, 27},
                                       {106, 101},
                                       {39, 101},
                                       {106, 102},
                                       {39, 102},
                                       {106, 103},
                                       {39, 103},
                                       {107, 103}}));
}

TEST_F(WorkerUpload, WriteToOneBoardLeavesTheOthersAlone) {
    setWriteTarget(1);
    const auto untouched = boardConstants(0, sim::kConstantsCellA);
    run(kWriteCalibrationRequest);
    EXPECT_EQ(requestEvents(), (Events{{32, 32}, {24, 24}, {100, 102}, {101, 102}}));
    EXPECT_EQ(boardConstants(1, sim::kConstantsCellA), recordConstants(1, true));
    EXPECT_EQ(boardConstants(0, sim::kConstantsCellA), untouched);
}

TEST_F(WorkerUpload, WriteFailuresCountUpThenGiveUpThroughStateZero) {
    setWriteTarget(1);
    rig.bus.setReplyOverride(1, "I", {});  // the board never confirms the upload
    run(kWriteCalibrationRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{28, 24, 32, 0, 22, 28}));
    EXPECT_EQ(Folded(requestEvents()), (Events{{32, 32},
                                               {24, 24},
                                               {100, 102},
                                               {102, 1},
                                               {100, 102},
                                               {102, 2},
                                               {100, 102},
                                               {102, 3},
                                               {100, 102},
                                               {102, 102}}));
    // Retried after ten count-down passes, each of which repeats the count.
    const Events events = requestEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), std::make_pair(102, 1)), 11);
}

TEST_F(WorkerUpload, SingleBoardVerifyGivesUpAfterThreeFailuresAllBoardsAfterFour) {
    // Nothing uploaded: the boards hold their factory constants.
    setWriteTarget(2);
    run(kVerifyCalibrationRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{28, 27, 39, 0, 22, 28}));
    EXPECT_EQ(count(106), 3);
    EXPECT_EQ(Folded(requestEvents()), (Events{{39, 39},
                                               {27, 27},
                                               {106, 103},
                                               {108, 1},
                                               {106, 103},
                                               {108, 2},
                                               {106, 103},
                                               {108, 108}}));

    setWriteTarget(3);
    run(kVerifyCalibrationRequest);
    EXPECT_EQ(count(106), 4);
    const Events tail = Folded(requestEvents());
    EXPECT_EQ(Events(tail.end() - 3, tail.end()), (Events{{108, 3}, {106, 101}, {108, 108}}));
}

TEST_F(WorkerUpload, BiaxialWriteOfOneBoardWritesBothAxes) {
    setWriteTarget(2);
    run(kBiaxialWriteRequest);
    EXPECT_EQ(rig.trail, (std::vector<int>{28, 48, 47, 13}));
    EXPECT_EQ(requestEvents(), (Events{{47, 47}, {48, 48}, {100, 103}, {101, 103}}));
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
        EXPECT_EQ(rig.trail, (std::vector<int>{28, 48, 0})) << target;
        EXPECT_EQ(requestEvents(), (Events{{47, 47}, {102, 102}})) << target;
        EXPECT_TRUE(rig.bus.receivedLines().empty()) << target;
        rig.monitor();
    }
}

}  // namespace
}  // namespace clinora::test
