// The termios port against simulated boards served on a pseudo-terminal, in
// real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <mutex>

#include "link/protocol.h"
#include "link/reading_format.h"
#include "link/termios_device.h"
#include "sim/board_config.h"
#include "sim/pty_bridge.h"

namespace clinora {
namespace {

using Micro = std::chrono::microseconds;

// A termios device that notes when every byte was handed to the line.
struct TimedDevice : TermiosDevice {
    std::mutex mutex;
    std::vector<int64_t> writeTimesUs;
    int writeByte(uint8_t byte) override {
        const int result = TermiosDevice::writeByte(byte);
        std::lock_guard<std::mutex> lock(mutex);
        writeTimesUs.push_back(
            std::chrono::duration_cast<Micro>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
        return result;
    }
};

struct PtyRig {
    RealClock clock;
    sim::SimBus bus{clock};
    sim::PtyBridge bridge{bus};
    TimedDevice device;
    SerialPort port{device};
    SharedState state{port};
    BusProtocol protocol{state, clock};

    PtyRig() {
        bus.addBoard(sim::VariedBoard("101", 5));
        EXPECT_EQ(bridge.start(), 0);
        port.pinPath(bridge.slavePath());
    }
};

TEST(SerialPty, WrongRateIsNotHeardAndTheRightOneIs) {
    PtyRig rig;
    ASSERT_TRUE(OpenBusPort(rig.state, 9600)) << rig.port.errorText();
    EXPECT_FALSE(rig.protocol.QueryAddress());
    ASSERT_TRUE(OpenBusPort(rig.state, 115200)) << rig.port.errorText();
    ASSERT_TRUE(rig.protocol.QueryAddress());
    EXPECT_EQ(rig.state.snapshot().readings.foundAddress, "101");
}

// The terminal's exclusive-use flag as seen through another descriptor.
int ExclusiveFlag(int fd) {
    int exclusive = -1;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0) return -1;
    return exclusive;
}

// A bridge keeps its own descriptor on the terminal and never clears the flag:
// after the port closes, a user without privileges must be able to open it
// again, so the flag must be gone (root overrides it, so the flag is checked).
// Exclusive use is a lock held by the open device, which the kernel drops
// with it however the program ends; the terminal itself is never marked.
// A terminal an older version left marked is cleared by ClearExclusiveUse
// (which only root can do).
TEST(SerialPty, ExclusiveUseIsALockThatGoesWithTheDevice) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    char name[128];
    ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
    const int held = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    for (int round = 0; round < 2; ++round) {
        TermiosDevice device, other;
        ASSERT_EQ(device.open(name), 0) << "round " << round;
        EXPECT_EQ(other.open(name), EAGAIN) << "round " << round;
        EXPECT_EQ(ExclusiveFlag(held), 0) << "round " << round;
        EXPECT_EQ(device.close(), 0);
        EXPECT_EQ(other.open(name), 0) << "round " << round;
    }
    ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);
    EXPECT_EQ(ClearExclusiveUse(name), ::geteuid() == 0 ? 0 : EBUSY);
    EXPECT_EQ(ExclusiveFlag(held), ::geteuid() == 0 ? 0 : 1);
    ::ioctl(held, TIOCNXCL);
    ::close(held);
    ::close(master);
}

TEST(SerialPty, QueryReadUploadAndVerifyInRealTime) {
    PtyRig rig;
    ASSERT_TRUE(OpenBusPort(rig.state, 115200)) << rig.port.errorText();
    EXPECT_EQ(rig.bus.status().hostBaud, 115200);

    ASSERT_TRUE(rig.protocol.QueryAddress());
    EXPECT_EQ(rig.state.snapshot().readings.foundAddress, "101");

    // Each command byte is followed by at least 10 ms before the next one.
    {
        std::lock_guard<std::mutex> lock(rig.device.mutex);
        const auto& t = rig.device.writeTimesUs;
        ASSERT_EQ(t.size(), std::string("@@65535 DA\r").size());
        for (size_t i = 1; i < t.size(); ++i) EXPECT_GE(t[i] - t[i - 1], 10000) << i;
    }
    // The boards' side sees the line paced too. Its times carry the scheduling
    // of the bridge thread on a loaded machine (a few milliseconds on the first
    // byte), so only the whole line is judged there, with room for that: an
    // unpaced line would arrive within a millisecond or two.
    const auto lines = rig.bus.receivedLines();
    ASSERT_FALSE(lines.empty());
    const auto& seen = lines[0].byteTimesMs;
    EXPECT_GE(seen.back() - seen.front(), 10 * static_cast<int64_t>(seen.size() - 1) - 20);

    rig.bus.setTilt(0, 30.0);
    rig.clock.sleepMs(sim::SimBoard::kWarmUpMs);  // the board's first measurement
    ASSERT_TRUE(rig.protocol.ReadSingleReading());
    EXPECT_NEAR(std::stod(rig.state.snapshot().readings.axisA), 30.0, 0.1);

    rig.state.locked([](SharedData& d) {
        d.currentAddresses = {"101"};
        d.devices[0].a = {0.01, 0.52, -0.003, 0.0004, 1e-5, -2e-6};
        d.devices[0].aCrossLinear = 0.1;
        d.settings.axisSelector = 1;
    });
    ASSERT_TRUE(rig.protocol.UploadCalibration(0));
    ASSERT_TRUE(rig.protocol.VerifyCalibration(0));
    const float a1 =
        rig.bus.inspectBoard(0, [](const sim::SimBoard& b) { return b.memory().getFloat(0x74); });
    EXPECT_EQ(a1, 0.52f);
}

}  // namespace
}  // namespace clinora
