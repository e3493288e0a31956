#include "pty_bridge.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace clinora::sim {

namespace {

constexpr int kPollMs = 2;

// The rate a client set on the line. A rate the table does not know is
// reported as 1, which no board listens at.
int BaudOf(speed_t speed) {
    switch (speed) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        case B460800:
            return 460800;
        case B921600:
            return 921600;
        default:
            return 1;
    }
}

}  // namespace

PtyBridge::~PtyBridge() { stop(); }

int PtyBridge::start() {
    if (running()) return EBUSY;
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return errno;
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const int code = errno;
        closeFds();
        return code;
    }
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) {
        const int code = errno;
        closeFds();
        return code;
    }
    // Raw bytes, no echo, at the boards' rate until a client sets its own.
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0 ||
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        const int code = errno;
        closeFds();
        return code;
    }
    slavePath_ = name;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
    return 0;
}

void PtyBridge::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    closeFds();
}

void PtyBridge::closeFds() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

void PtyBridge::run() {
    bool busOpen = bus_.open(slavePath_) == 0;
    int lineBaud = -1;
    uint8_t buffer[512];
    while (!stop_) {
        // While the bus is unplugged it cannot be opened; keep trying.
        if (!busOpen) busOpen = bus_.open(slavePath_) == 0;
        if (!busOpen) lineBaud = -1;

        pollfd p{master_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        ssize_t received = 0;
        if (ready > 0 && (p.revents & POLLIN)) {
            received = ::read(master_, buffer, sizeof buffer);
        } else if (ready > 0) {
            ::poll(nullptr, 0, kPollMs);  // hang-up or error: do not spin
        }

        // The rate is read after the bytes: a client sets its line before it
        // writes, so the bytes just read were sent at the rate read now.
        termios tio{};
        if (busOpen && tcgetattr(slave_, &tio) == 0) {
            const int baud = BaudOf(cfgetospeed(&tio));
            if (baud != lineBaud && bus_.configureLine(baud) == 0) lineBaud = baud;
        }
        for (ssize_t i = 0; busOpen && i < received; ++i) bus_.writeByte(buffer[i]);

        size_t waiting = 0;
        if (busOpen && bus_.bytesWaiting(waiting) == 0 && waiting > 0) {
            size_t got = 0;
            bus_.read(buffer, std::min(waiting, sizeof buffer), got);
            if (got > 0 && ::write(master_, buffer, got) < 0) {
                // Nobody reads the slave and its queue is full: the bytes are
                // lost, as on a line without a listener.
            }
        }
    }
    if (busOpen) bus_.close();
}

}  // namespace clinora::sim
