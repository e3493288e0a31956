// End to end through a real pseudo-terminal: a raw termios client talks to
// the simulated boards the way a serial port would.
#include "sim/pty_bridge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace clinora::sim {
namespace {

class PtyClient {
public:
    PtyClient(const std::string& path, speed_t speed) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ok_ = fd_ >= 0 && setSpeed(speed);
    }
    bool setSpeed(speed_t speed) {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) return false;
        cfmakeraw(&tio);
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        return tcsetattr(fd_, TCSANOW, &tio) == 0;
    }
    ~PtyClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return ok_; }

    void sendSlowly(const std::string& line) {
        for (char ch : line) {
            ASSERT_EQ(::write(fd_, &ch, 1), 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }

    // Reads until a line feed arrives or `ms` pass.
    std::string readLine(int ms) {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            char buffer[64];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }

private:
    int fd_ = -1;
    bool ok_ = false;
};

TEST(PtyBridge, RawClientTalksToTheBoardsAtTheirRateOnly) {
    RealClock clock;
    SimBus bus(clock);
    bus.addBoard(VariedBoard("65534", 1));
    PtyBridge bridge(bus);
    ASSERT_EQ(bridge.start(), 0);
    ASSERT_FALSE(bridge.slavePath().empty());

    {
        PtyClient client(bridge.slavePath(), B115200);
        ASSERT_TRUE(client.ok());
        client.sendSlowly("@@65535 DA\r");
        EXPECT_EQ(client.readLine(2000), "DA 65534\r\n");
    }
    const auto lines = bus.receivedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "@@65535 DA");
    EXPECT_GE(lines[0].byteTimesMs.back() - lines[0].byteTimesMs.front(), 20);

    {
        // A second client after the first closed; at the wrong rate: silence.
        PtyClient client(bridge.slavePath(), B9600);
        ASSERT_TRUE(client.ok());
        client.sendSlowly("@@65535 DA\r");
        EXPECT_EQ(client.readLine(300), "");
        ASSERT_TRUE(bus.setBoardBaud(9600));
        client.sendSlowly("@@65535 DA\r");
        EXPECT_EQ(client.readLine(2000), "DA 65534\r\n");
        // The first line after a change of rate is heard at the new rate.
        ASSERT_TRUE(bus.setBoardBaud(115200));
        ASSERT_TRUE(client.setSpeed(B115200));
        client.sendSlowly("@@65535 DA\r");
        EXPECT_EQ(client.readLine(2000), "DA 65534\r\n");
    }
    bridge.stop();
    EXPECT_FALSE(bridge.running());
}

}  // namespace
}  // namespace clinora::sim
