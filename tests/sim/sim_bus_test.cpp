#include "sim/sim_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace clinora::sim {
namespace {

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        addBoards({"101"});
        ASSERT_EQ(bus.open("sim"), 0);
        ASSERT_EQ(bus.configureLine(115200), 0);
    }

    void addBoards(std::initializer_list<const char*> addresses) {
        for (const char* a : addresses) bus.addBoard(VariedBoard(a, bus.boardCount() + 1));
        clock.advance(SimBoard::kWarmUpMs);
    }

    // Writes a command line the way the host paces it: 10 ms after every byte
    // but the carriage return.
    void send(const std::string& body) {
        for (char ch : body) {
            ASSERT_EQ(bus.writeByte(static_cast<uint8_t>(ch)), 0);
            clock.advance(10);
        }
        ASSERT_EQ(bus.writeByte('\r'), 0);
    }

    // Everything that arrives within `ms` of virtual time.
    std::string collect(int64_t ms = 100) {
        std::string text;
        for (int64_t t = 0; t <= ms; ++t) {
            uint8_t buffer[64];
            size_t got = 0;
            EXPECT_EQ(bus.read(buffer, sizeof buffer, got), 0);
            text.append(reinterpret_cast<char*>(buffer), got);
            clock.advance(1);
        }
        return text;
    }

    size_t waiting() {
        size_t n = 0;
        EXPECT_EQ(bus.bytesWaiting(n), 0);
        return n;
    }

    VirtualClock clock{100000};
    SimBus bus{clock};
};

TEST_F(SimBusTest, ReplyArrivesAfterLatencyAndByteTimes) {
    send("@@65535 DA");
    EXPECT_EQ(waiting(), 0u);
    clock.advance(SimBus::kReplyLatencyMs);
    EXPECT_EQ(waiting(), 0u);  // the first byte is still on the line
    clock.advance(1);
    EXPECT_EQ(waiting(), 8u);  // "DA 101\r\n" takes under 1 ms at 115200
    EXPECT_EQ(collect(0), "DA 101\r\n");

    // At 9600 a byte takes 1.04 ms, so the reply trickles in.
    ASSERT_TRUE(bus.setBoardBaud(9600));
    ASSERT_EQ(bus.configureLine(9600), 0);
    send("@@101 SN");
    clock.advance(SimBus::kReplyLatencyMs + 3);
    EXPECT_EQ(waiting(), 2u);
    EXPECT_EQ(collect(50), "SN ZC-000001\r\n");

    // The log keeps each line with the time of each byte.
    const auto lines = bus.receivedLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "@@65535 DA");
    ASSERT_EQ(lines[0].byteTimesMs.size(), lines[0].text.size() + 1);
    for (size_t i = 1; i < lines[0].byteTimesMs.size(); ++i) {
        EXPECT_EQ(lines[0].byteTimesMs[i] - lines[0].byteTimesMs[i - 1], 10);
    }
}

TEST_F(SimBusTest, BroadcastIsAnsweredOnceUnlessRepliesCollide) {
    addBoards({"102", "103"});
    send("@@65535 TR 1");
    EXPECT_EQ(collect(), "TR 1\r\n");
    for (size_t i = 0; i < bus.boardCount(); ++i) {
        EXPECT_EQ(bus.inspectBoard(i, [](const SimBoard& b) { return b.triggerMode(); }),
                  TriggerMode::Continuous);
    }
    send("@@102 DA");
    EXPECT_EQ(collect(), "DA 102\r\n");
    send("@@999 DA");
    send("@@1x2 DA");
    send("MODE 0");
    EXPECT_EQ(collect(), "");
    EXPECT_EQ(bus.inspectBoard(2, [](const SimBoard& b) { return b.mode(); }), 0);

    bus.setCollisions(true);
    send("@@65535 TR 0");  // identical replies overlap cleanly
    EXPECT_EQ(collect(), "TR 0\r\n");
    send("@@65535 DA");
    const std::string garbled = collect();
    EXPECT_EQ(garbled.substr(0, 5), "DA 10");
    EXPECT_EQ(garbled.find('\r'), std::string::npos);
    EXPECT_EQ(garbled.size(), 8u);
}

TEST_F(SimBusTest, DroppedGarbledAndUnheardReplies) {
    bus.setDropRate(1.0);
    send("@@101 DA");
    EXPECT_EQ(collect(), "");

    bus.setDropRate(0.0);
    bus.setGarbleRate(1.0);
    for (int i = 0; i < 20; ++i) {
        send("@@101 DA");
        const std::string reply = collect();
        EXPECT_EQ(reply.size(), 8u);
        EXPECT_EQ(reply.find("DA"), std::string::npos) << reply;
        EXPECT_EQ(reply.substr(6), "\r\n");
    }

    // Boards at another rate than the host's hear nothing and do nothing.
    bus.clearFaults();
    ASSERT_TRUE(bus.setBoardBaud(9600));
    send("@@101 TR 1");
    EXPECT_EQ(collect(), "");
    EXPECT_EQ(bus.inspectBoard(0, [](const SimBoard& b) { return b.triggerMode(); }),
              TriggerMode::Stopped);
    ASSERT_EQ(bus.configureLine(9600), 0);
    send("@@101 TR 1");
    EXPECT_EQ(collect(), "TR 1\r\n");
}

TEST_F(SimBusTest, NoiseReachesCommandsCutsRepliesAndTheCableMayGoMidway) {
    // Every line heard with one byte changed: never the plain echo, and the
    // byte meant never lands.
    bus.setFaults({0, 0, 0, 0, 1.0});
    for (int i = 0; i < 30; ++i) {
        send("@@101 WE 41 5A");
        EXPECT_NE(collect(), "WE 41 5A\r\n");
    }
    EXPECT_NE(bus.inspectBoard(0, [](const SimBoard& b) { return b.memory().get(0x41); }), 0x5A);

    // A lost carriage return runs the line into the next one.
    bus.setFaults({0, 0, 0, 1.0, 0});
    int silent = 0;
    for (int i = 0; i < 30; ++i) {
        send("@@101 DA");
        const std::string reply = collect();
        EXPECT_NE(reply, "DA 101\r\n");
        silent += reply.empty();
    }
    EXPECT_GT(silent, 0);

    // Cut replies stop before their line end.
    bus.setFaults({0, 0, 1.0, 0, 0});
    for (int i = 0; i < 30; ++i) {
        send("@@101 SN");
        const std::string reply = collect();
        EXPECT_FALSE(reply.empty());
        EXPECT_EQ(std::string("SN ZC-000001").substr(0, reply.size()), reply);
    }

    // The cable goes as the second line from now ends: that line is not heard.
    bus.clearFaults();
    bus.unplugAfterLines(2);
    send("@@101 DA");
    EXPECT_EQ(collect(), "DA 101\r\n");
    send("@@101 DA");
    EXPECT_FALSE(bus.status().plugged);
    size_t n = 0;
    EXPECT_EQ(bus.bytesWaiting(n), EIO);
}

TEST_F(SimBusTest, UnplugSilencesTheLineAndPlugRestartsTheBoards) {
    send("@@101 DA");
    clock.advance(1);  // the reply is still on its way when the cable goes
    bus.unplug();
    size_t n = 0;
    EXPECT_EQ(bus.writeByte('@'), EIO);
    EXPECT_EQ(bus.bytesWaiting(n), EIO);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(bus.close(), 0);
    EXPECT_EQ(bus.open("sim"), ENOENT);

    bus.plug();
    ASSERT_EQ(bus.open("sim"), 0);
    ASSERT_EQ(bus.configureLine(115200), 0);
    EXPECT_EQ(waiting(), 0u);
    send("@@101 SR");
    EXPECT_EQ(collect().substr(0, 11), "SR NAN,NAN,");  // warming up again
    EXPECT_EQ(bus.open("sim"), EBUSY);
    ASSERT_EQ(bus.close(), 0);
    EXPECT_EQ(bus.writeByte('@'), EBADF);
}

TEST_F(SimBusTest, OverridesGiveFixedFragmentedAndLateReplies) {
    bus.setReplyOverride(0, "F", {{"F ?\r\n"}, 0});
    send("@@101 F");
    EXPECT_EQ(collect(), "F ?\r\n");

    bus.setReplyOverride(0, "SR", {{"SR 0.1", ",0.2,25.00\r\n"}, 300});
    send("@@101 SR");
    EXPECT_EQ(collect(250), "SR 0.1");
    EXPECT_EQ(collect(100), ",0.2,25.00\r\n");

    bus.setExtraLatency(0, 500);
    send("@@101 DA");
    EXPECT_EQ(collect(400), "");
    EXPECT_EQ(collect(200), "DA 101\r\n");

    bus.clearOverrides();
    send("@@101 F");
    EXPECT_EQ(collect(), "F 1.50\r\n");
}

TEST_F(SimBusTest, FixtureMayChangeWhileTheHostTalks) {
    std::atomic<bool> done{false};
    std::thread steer([&] {
        for (int i = 0; !done; ++i) {
            bus.setTilt(0, i % 30);
            bus.setTemperature(20 + i % 10);
            bus.setGarbleRate(0.0);
        }
    });
    for (int i = 0; i < 50; ++i) {
        send("@@101 SR");
        EXPECT_EQ(collect(10).substr(0, 3), "SR ");
    }
    done = true;
    steer.join();
    EXPECT_FALSE(bus.setTilt(0, std::nan("")));
    EXPECT_FALSE(bus.setTilt(2, 1.0));
}

}  // namespace
}  // namespace clinora::sim
