#include "termios_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace clinora {

namespace {

speed_t SpeedFor(int baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        default: return B0;
    }
}

}  // namespace

TermiosDevice::~TermiosDevice() { close(); }

int TermiosDevice::open(const std::string& path) {
    if (fd_ >= 0) return EBUSY;
    // A terminal left exclusive (by an older version of this program) refuses
    // the open with EBUSY to anyone but root.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    // Exclusive use by a lock the kernel drops when the process ends, however
    // it ends: a program killed while it holds the line does not keep it from
    // the next one. Another holder is reported as EAGAIN.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EAGAIN : errno;
        ::close(fd);
        return code;
    }
    fd_ = fd;
    return 0;
}

int TermiosDevice::configureLine(int baud) {
    if (fd_ < 0) return EBADF;
    const speed_t speed = SpeedFor(baud);
    if (speed == B0) return EINVAL;
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return errno;
    cfmakeraw(&tio);  // binary: no echo, no line editing, no translation
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return errno;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return errno;
    return 0;
}

int TermiosDevice::configureTimeouts() {
    if (fd_ < 0) return EBADF;
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return errno;
    tio.c_cc[VMIN] = 0;  // a read returns at once with what is buffered
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return errno;
    return 0;
}

int TermiosDevice::raiseModemLines() {
    if (fd_ < 0) return EBADF;
    int dtr = TIOCM_DTR;
    if (::ioctl(fd_, TIOCMBIS, &dtr) != 0) return errno;
    int rts = TIOCM_RTS;
    if (::ioctl(fd_, TIOCMBIS, &rts) != 0) return errno;
    return 0;
}

int TermiosDevice::bytesWaiting(size_t& count) {
    count = 0;
    if (fd_ < 0) return EBADF;
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) return errno;
    count = n > 0 ? static_cast<size_t>(n) : 0;
    return 0;
}

int TermiosDevice::read(uint8_t* buffer, size_t max, size_t& got) {
    got = 0;
    if (fd_ < 0) return EBADF;
    const ssize_t n = ::read(fd_, buffer, max);
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : errno;
    got = static_cast<size_t>(n);
    return 0;
}

int TermiosDevice::writeByte(uint8_t byte) {
    if (fd_ < 0) return EBADF;
    // The line is non-blocking; wait for room at most 1000 ms plus 10 ms for
    // the byte itself, as a blocking write with that time-out would.
    for (int tries = 0; tries < 2; ++tries) {
        const ssize_t n = ::write(fd_, &byte, 1);
        if (n == 1) return 0;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 1010) <= 0) return ETIMEDOUT;
    }
    return ETIMEDOUT;
}

int TermiosDevice::close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    // Closing drops the lock.
    if (::close(fd) != 0) return errno;
    return 0;
}

int ClearExclusiveUse(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    const int code = ::ioctl(fd, TIOCNXCL) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

}  // namespace clinora
