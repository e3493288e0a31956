// The worker on its own thread, in real time, against the simulated boards
// served on a pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/termios_device.h"
#include "link/worker_thread.h"
#include "sim/pty_bridge.h"
#include "worker_rig.h"

namespace clinora::test {
namespace {

TEST(WorkerPty, MonitorsForAFewSecondsThenStopsCleanly) {
    RealClock clock;
    sim::SimBus bus{clock};
    bus.addBoard(sim::VariedBoard("101", 1));
    bus.setTilt(0, -20.0);
    sim::PtyBridge bridge{bus};
    ASSERT_EQ(bridge.start(), 0);

    TermiosDevice device;
    SerialPort port{device};
    port.pinPath(bridge.slavePath());
    SharedState state{port};
    state.locked([](SharedData& d) { d.worker.usbPortFound = true; });
    auto page = std::make_shared<EventRecorder>(clock);

    auto readings = [&] {
        int n = 0;
        for (const auto& e : page->codes()) n += e == std::pair<int, int>{kEventSingleReading, 1};
        return n;
    };
    {
        WorkerThread thread{clock};
        StartWorker(state, thread, page, 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readings() < 4 && std::chrono::steady_clock::now() < end) {
            // The page side reads the shared texts while the worker writes them.
            (void)state.snapshot();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_GE(readings(), 4);
        const Readings r = state.snapshot().readings;
        EXPECT_NEAR(std::stod(r.axisA), -20.0, 0.3) << r.axisA;
        EXPECT_NEAR(std::stod(r.temperature), 25.0, 0.5) << r.temperature;
        EXPECT_EQ(state.snapshot().worker.state, kStateSingleReading);
        EXPECT_TRUE(port.isOpen());
    }  // stops the thread: state 12 closes the port
    EXPECT_EQ(state.snapshot().worker.state, kStateEnd);
    EXPECT_FALSE(port.isOpen());
    bridge.stop();
}

TEST(WorkerPty, StoppingDuringAnUploadEndsPromptly) {
    RealClock clock;
    sim::SimBus bus{clock};
    bus.addBoard(sim::VariedBoard("101", 1));
    SerialPort port{bus};
    SharedState state{port};
    state.locked([](SharedData& d) {
        d.worker.usbPortFound = true;
        d.currentAddresses = {"101"};
        d.worker.boardCount = 1;
        d.worker.writeTarget = 1;
    });
    auto page = std::make_shared<EventRecorder>(clock);
    WorkerThread thread{clock};
    StartWorker(state, thread, page, 1);
    const auto until = [&](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    };
    ASSERT_TRUE(until([&] { return state.snapshot().worker.state == kStateSingleReading; }));
    RequestRecord record;
    record.targetAddress = "101";
    ASSERT_TRUE(PostRequest(state, record, kWriteCalibrationRequest));
    // An upload of one axis takes many seconds; stop in the middle of it, and
    // of a line: the line goes out whole, and nothing else (at most one line's
    // time, some 250 ms for the longest).
    ASSERT_TRUE(until([&] { return state.snapshot().worker.state == kStateUpload; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_TRUE(until([&] { return !bus.partialLine().empty(); }));
    const auto before = std::chrono::steady_clock::now();
    thread.stop();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(700));
    EXPECT_EQ(bus.partialLine(), "");
    EXPECT_EQ(state.snapshot().worker.state, kStateEnd);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace clinora::test
