#include "sim/sim_console.h"

#include <gtest/gtest.h>

namespace clinora::sim {
namespace {

TEST(SimConsole, CommandsSteerTheBusAndBadInputIsRefused) {
    VirtualClock clock;
    SimBus bus(clock);
    bus.addBoard(VariedBoard("101", 1));
    SimConsole console(bus);

    EXPECT_EQ(console.execute("tilt A 15").text, "ok tilt A 15.000");
    EXPECT_EQ(console.execute("tilt B -5").text, "ok tilt B -5.000");
    EXPECT_EQ(console.execute("temp 30").text, "ok temp 30.00");
    EXPECT_EQ(console.execute("fault drop 0.2").text, "ok drop 0.200");
    EXPECT_EQ(console.execute("collisions on").text, "ok collisions on");
    EXPECT_EQ(console.execute("baud 9600").text, "ok boards listen at 9600");
    BusStatus s = bus.status();
    EXPECT_EQ(s.fixture.tiltADeg, 15.0);
    EXPECT_EQ(s.fixture.tiltBDeg, -5.0);
    EXPECT_EQ(s.fixture.tempC, 30.0);
    EXPECT_EQ(s.faults.drop, 0.2);
    EXPECT_EQ(s.faults.commandLoss, 0.2);
    EXPECT_TRUE(s.collisions);
    EXPECT_EQ(s.boardBaud, 9600);

    EXPECT_EQ(console.execute("fault off").text, "ok faults off");
    EXPECT_EQ(bus.status().boardBaud, 115200);
    EXPECT_EQ(console.execute("unplug").text, "ok unplugged");
    EXPECT_FALSE(bus.status().plugged);
    EXPECT_EQ(console.execute("status").text.substr(0, 12), "ok unplugged");
    EXPECT_EQ(console.execute("plug").text, "ok plugged");

    for (const char* bad : {"tilt C 1", "tilt A x", "tilt A nan", "tilt A 500", "temp",
                            "fault drop 2", "baud 0", "baud 96.5", "collisions maybe", "hello"}) {
        EXPECT_EQ(console.execute(bad).text.substr(0, 7), "error: ") << bad;
    }
    EXPECT_EQ(bus.status().fixture.tiltADeg, 15.0);
    EXPECT_EQ(console.execute("   ").text, "");
    EXPECT_TRUE(console.execute("quit").quit);
}

TEST(SimConsole, FreshPutsOneNewFactoryBoardOnTheBus) {
    VirtualClock clock;
    SimBus bus(clock);
    bus.addBoard(VariedBoard("101", 1));
    SimConsole console(bus);
    EXPECT_EQ(console.execute("fresh").text, "ok fresh board at 65534");
    EXPECT_EQ(bus.status().addresses, (std::vector<int>{101, 65534}));
    const auto serial = [&](size_t i) {
        return bus.inspectBoard(i, [](const SimBoard& b) { return b.config().serial; });
    };
    EXPECT_NE(serial(0), serial(1));
    // Two boards at 65534 would answer together: the second is refused.
    EXPECT_EQ(console.execute("fresh").text,
              "error: a board at 65534 is already on the bus");
    EXPECT_EQ(bus.boardCount(), 2u);
}

}  // namespace
}  // namespace clinora::sim
