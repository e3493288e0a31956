#include "link/serial_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <thread>

#include "link/shared_state.h"
#include "link/termios_device.h"
#include "link/usb_search.h"

namespace clinora {
namespace {

// A device whose every step can be made to fail.
struct FakeDevice : SerialDevice {
    int openError = 0, lineError = 0, timeoutError = 0, modemError = 0, closeError = 0;
    int writeError = 0, readError = 0;
    std::string openedPath;
    int baud = 0, opens = 0, closes = 0;
    std::deque<uint8_t> input;
    std::string written;
    std::string writtenAtClose;

    int open(const std::string& path) override {
        openedPath = path;
        ++opens;
        return openError;
    }
    int configureLine(int b) override {
        baud = b;
        return lineError;
    }
    int configureTimeouts() override { return timeoutError; }
    int raiseModemLines() override { return modemError; }
    int bytesWaiting(size_t& count) override {
        count = input.size();
        return 0;
    }
    int read(uint8_t* buffer, size_t max, size_t& got) override {
        got = 0;
        if (readError) return readError;
        while (got < max && !input.empty()) {
            buffer[got++] = input.front();
            input.pop_front();
        }
        return 0;
    }
    int writeByte(uint8_t b) override {
        if (writeError) return writeError;
        written += static_cast<char>(b);
        return 0;
    }
    int close() override {
        ++closes;
        writtenAtClose = written;
        return closeError;
    }
};

TEST(SerialPort, OpenFailuresGiveTheirTextsAndLeaveThePortClosed) {
    FakeDevice dev;
    SerialPort port(dev);
    dev.openError = ENOENT;
    EXPECT_FALSE(port.Open(7, 115200));
    EXPECT_EQ(port.errorText(), "Unable to open the serial port 7. Error - 2");
    EXPECT_EQ(port.lastError(), ENOENT);

    dev.openError = 0;
    dev.lineError = EINVAL;
    EXPECT_FALSE(port.Open(7, 115200));
    EXPECT_EQ(port.errorText(), "Unable to configure the serial port. Error - 22");
    EXPECT_EQ(dev.closes, 1);

    dev.lineError = 0;
    dev.timeoutError = EIO;
    EXPECT_FALSE(port.Open(7, 115200));
    EXPECT_EQ(port.errorText(), "Unable to set the time-out parameters. Error - 5");
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, PseudoTerminalWithoutModemLinesStillOpens) {
    FakeDevice dev;
    dev.modemError = ENOTTY;
    SerialPort port(dev);
    EXPECT_TRUE(port.Open(3, 9600));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.errorText(), "");
}

TEST(SerialPort, OpenWhenOpenKeepsTheOldRateAndCloseIsIdempotent) {
    FakeDevice dev;
    SerialPort port(dev);
    ASSERT_TRUE(port.Open(0, 115200));
    EXPECT_TRUE(port.Open(0, 9600));
    EXPECT_EQ(dev.baud, 115200);
    EXPECT_EQ(dev.opens, 1);
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(dev.closes, 1);
}

TEST(SerialPort, CloseFailureIsShownToTheUser) {
    FakeDevice dev;
    SerialPort port(dev);
    std::string shown;
    port.setUserNotice([&](const std::string& t) { shown = t; });
    ASSERT_TRUE(port.Open(0, 115200));
    dev.closeError = EIO;
    EXPECT_FALSE(port.Close());  // the failure is reported; the port counts as closed
    EXPECT_EQ(shown, "Close serial port error. Error - 5");
    EXPECT_FALSE(port.isOpen());
}

// A close from another thread (the Monitor page's, while the worker sends)
// lets the command line being written end first: the boards never see half
// a line. (Real threads, some 20 ms.)
TEST(SerialPort, ACloseFromAnotherThreadLetsTheLineEnd) {
    FakeDevice dev;
    SerialPort port(dev);
    ASSERT_TRUE(port.Open(0, 115200));
    std::atomic<bool> begun{false};
    std::thread writer([&] {
        for (char c : std::string("@@101 SR")) {
            port.WriteByte(static_cast<uint8_t>(c));
            begun = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        port.WriteByte('\r');
    });
    while (!begun) std::this_thread::yield();
    EXPECT_TRUE(port.Close());
    writer.join();
    EXPECT_EQ(dev.writtenAtClose, "@@101 SR\r");
    EXPECT_FALSE(port.lineInProgress());
}

TEST(SerialPort, ClosedPortNeitherReadsNorWrites) {
    FakeDevice dev;
    dev.input = {'a', 'b'};
    SerialPort port(dev);
    uint8_t buf[8];
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_EQ(port.Read(buf, sizeof buf), 0u);
    EXPECT_FALSE(port.WriteByte('x'));
    EXPECT_EQ(dev.written, "");
}

TEST(SerialPort, ReadWriteAndDiscard) {
    FakeDevice dev;
    SerialPort port(dev);
    ASSERT_TRUE(port.Open(0, 115200));
    dev.writeError = EIO;
    EXPECT_FALSE(port.WriteByte('x'));
    EXPECT_EQ(port.errorText(), "WriteByte error. Error - 5");
    dev.writeError = 0;
    EXPECT_TRUE(port.WriteByte('x'));
    EXPECT_EQ(dev.written, "x");

    dev.input = {'1', '2', '3'};
    uint8_t buf[8];
    EXPECT_EQ(port.Read(buf, 2), 2u);
    EXPECT_EQ(port.Discard(), 1u);
    dev.input = {'4'};
    dev.readError = EIO;
    EXPECT_EQ(port.Read(buf, 8), 0u);
    EXPECT_EQ(port.errorText(), "ReadData error. Error - 5");
}

TEST(SerialPort, ReadAppendKeepsOneZeroByteFree) {
    FakeDevice dev;
    SerialPort port(dev);
    ASSERT_TRUE(port.Open(0, 115200));
    std::vector<uint8_t> buffer(kReplyBufferSize, 0);
    dev.input.assign(10, 'z');
    EXPECT_EQ(port.ReadAppend(buffer.data(), 8191), 0);
    EXPECT_EQ(port.ReadAppend(buffer.data(), 8185), 6);
    EXPECT_EQ(buffer[8190], 'z');
    EXPECT_EQ(buffer[8191], 0);
    dev.input.clear();
    EXPECT_EQ(port.ReadAppend(buffer.data(), 0), 0);
}

TEST(SerialPort, PortNumbersMapToDevicePaths) {
    FakeDevice dev;
    SerialPort port(dev);
    EXPECT_EQ(port.devicePathFor(1), "/dev/ttyS0");
    EXPECT_EQ(port.devicePathFor(5), "/dev/ttyUSB5");
    port.recordPath(5, "/dev/serial/by-id/adapter");
    EXPECT_EQ(port.devicePathFor(5), "/dev/serial/by-id/adapter");
    port.pinPath("/dev/pts/9");
    EXPECT_EQ(port.devicePathFor(0), "/dev/pts/9");
    EXPECT_EQ(FindUsbSerialPort(port), 9);
}

struct RecordingSettings : LinkSettings {
    int kind = -1, baud = -1;
    void setDeviceChoice(int k) override { kind = k; }
    void setComBaud(int b) override { baud = b; }
};

TEST(OpenBusPort, PortNumberChoosesTheKindAndRecordsTheRate) {
    struct Case {
        int number;
        std::string path;
        int kind;
    };
    for (const Case& c : {Case{1, "/dev/ttyS0", 2}, Case{-3, "/dev/ttyS0", 2},
                          Case{0, "/dev/ttyUSB0", 1}, Case{5, "/dev/ttyUSB5", 1}}) {
        FakeDevice dev;
        SerialPort port(dev);
        SharedState state(port);
        RecordingSettings settings;
        state.setLinkSettings(&settings);
        state.locked([&](SharedData& d) { d.worker.comPortNumber = c.number; });
        EXPECT_TRUE(OpenBusPort(state, 9600));
        EXPECT_EQ(dev.openedPath, c.path);
        EXPECT_EQ(settings.kind, c.kind);
        EXPECT_EQ(settings.baud, 9600);
        const auto d = state.snapshot();
        EXPECT_EQ(d.worker.lastOpenedBaud, 9600);
        EXPECT_TRUE(d.worker.portOpen);
    }
}

TEST(OpenBusPort, FailedOpenWritesNoSettingsAndReopensAnOpenPort) {
    FakeDevice dev;
    SerialPort port(dev);
    SharedState state(port);
    RecordingSettings settings;
    state.setLinkSettings(&settings);
    ASSERT_TRUE(OpenBusPort(state, 115200));
    dev.openError = EBUSY;
    EXPECT_FALSE(OpenBusPort(state, 9600));
    EXPECT_EQ(dev.closes, 1);
    EXPECT_EQ(settings.baud, 115200);
    EXPECT_FALSE(state.snapshot().worker.portOpen);
}

TEST(UsbSearch, FirstAdapterWithANumberIsChosen) {
    std::vector<ListedPort> ports = {
        {"/dev/ttyS0", false, -1},      {"/dev/ttyACM0", true, 0x2341},
        {"/dev/ttyUSBx", true, 0x0403}, {"/dev/ttyUSB3", true, 0x0403},
        {"/dev/ttyUSB1", true, 0x0403},
    };
    const auto chosen = ChooseUsbPort(ports);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->number, 3);
    EXPECT_EQ(chosen->path, "/dev/ttyUSB3");
    EXPECT_FALSE(ChooseUsbPort({{"/dev/ttyACM0", true, 0x2341}}));
    EXPECT_EQ(TrailingNumber("/dev/ttyUSB12"), 12);
    EXPECT_EQ(TrailingNumber("/dev/tty"), -1);
}

}  // namespace
}  // namespace clinora

namespace clinora {
namespace {

TEST(TermiosDevice, MissingDeviceGivesTheOpenErrorText) {
    TermiosDevice dev;
    SerialPort port(dev);
    port.pinPath("/dev/clinora-no-such-device");
    EXPECT_FALSE(port.Open(3, 115200));
    EXPECT_EQ(port.errorText(), "Unable to open the serial port 3. Error - 2");
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace clinora
