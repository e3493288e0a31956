#include "serial_port.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "number_text.h"
#include "shared_state.h"

namespace clinora {

namespace {

// Error codes that only say the device has no modem lines (a pseudo-terminal).
bool NoModemLines(int code) { return code == ENOTTY || code == EINVAL; }

}  // namespace

SerialPort::~SerialPort() { Close(); }

void SerialPort::fail(int code, const std::string& text) {
    lastError_ = code;
    errorText_ = text;
}

bool SerialPort::Open(int portNumber, int baud) {
    const std::string path = devicePathFor(portNumber);
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) return true;
    lastPath_ = path;
    if (int code = device_.open(path); code != 0) {
        fail(code, Printf("Unable to open the serial port %d. Error - %d", portNumber, code));
        return false;
    }
    if (int code = device_.configureLine(baud); code != 0) {
        fail(code, Printf("Unable to configure the serial port. Error - %d", code));
        device_.close();
        return false;
    }
    if (int code = device_.configureTimeouts(); code != 0) {
        fail(code, Printf("Unable to set the time-out parameters. Error - %d", code));
        device_.close();
        return false;
    }
    // A device without modem lines (a pseudo-terminal) refuses DTR and RTS;
    // that is not a reason to give up the port.
    if (int code = device_.raiseModemLines(); code != 0 && !NoModemLines(code)) {
        lastError_ = code;
    }
    handle_ = 1;
    open_ = true;
    return true;
}

bool SerialPort::Close() {
    std::function<void(const std::string&)> notice;
    std::string text;
    bool closed = true;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // The writer releases the lock between bytes; a close from another
        // thread lets the line in progress end first.
        // (The writer itself is never inside a line when it closes.)
        if (lineWriter_ != std::this_thread::get_id()) {
            lineEnded_.wait_for(lock, std::chrono::milliseconds(kLineWaitMs),
                                [this] { return !lineOpen_; });
        }
        if (!open_) return true;
        if (handle_ == -1 || handle_ == 0) return true;
        if (int code = device_.close(); code != 0) {
            fail(code, Printf("Close serial port error. Error - %d", code));
            notice = notice_;
            text = errorText_;
            closed = false;
        }
        open_ = false;
        handle_ = -1;
        lineOpen_ = false;
    }
    lineEnded_.notify_all();
    if (notice) notice(text);
    return closed;
}

bool SerialPort::WriteByte(uint8_t byte) {
    bool ok = false;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) {
            fail(EBADF, Printf("WriteByte error. Error - %d", EBADF));
            return false;
        }
        const int code = device_.writeByte(byte);
        ok = code == 0;
        if (!ok) fail(code, Printf("WriteByte error. Error - %d", code));
        // A line ends with its carriage return, or when the device stops
        // taking its bytes (nobody should wait for that one).
        const bool wasOpen = lineOpen_;
        lineWriter_ = std::this_thread::get_id();
        lineOpen_ = ok && byte != '\r';
        ended = wasOpen && !lineOpen_;
    }
    if (ended) lineEnded_.notify_all();
    return ok;
}

size_t SerialPort::BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || handle_ != 1) return 0;
    size_t count = 0;
    if (device_.bytesWaiting(count) != 0) return 0;
    return count;
}

size_t SerialPort::Read(uint8_t* buffer, size_t maximum) {
    const size_t waiting = BytesWaiting();
    if (waiting == 0 || maximum == 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return 0;
    size_t got = 0;
    if (int code = device_.read(buffer, std::min(waiting, maximum), got); code != 0) {
        fail(code, Printf("ReadData error. Error - %d", code));
        return 0;
    }
    return got;
}

size_t SerialPort::Discard() {
    const size_t waiting = BytesWaiting();
    if (waiting > 0) {
        std::vector<uint8_t> scratch(waiting);
        Read(scratch.data(), waiting);
    }
    return waiting;
}

long SerialPort::ReadAppend(uint8_t* buffer, size_t collected) {
    const long waiting = static_cast<long>(BytesWaiting());
    if (waiting <= 0) return waiting;
    // Keep one zero byte free behind the collected text.
    if (collected + 1 >= kReplyBufferSize) return 0;
    const size_t room = kReplyBufferSize - 1 - collected;
    const size_t count = std::min(static_cast<size_t>(waiting), room);
    return static_cast<long>(Read(buffer + collected, count));
}

bool SerialPort::lineInProgress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lineOpen_;
}

bool SerialPort::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

std::string SerialPort::errorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorText_;
}

int SerialPort::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

std::string SerialPort::devicePathFor(int portNumber) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!pinned_.empty()) return pinned_;
    if (auto it = recorded_.find(portNumber); it != recorded_.end()) return it->second;
    if (portNumber == 1) return "/dev/ttyS0";
    return "/dev/ttyUSB" + std::to_string(portNumber);
}

void SerialPort::recordPath(int portNumber, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorded_[portNumber] = path;
}

void SerialPort::pinPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    pinned_ = path;
}

std::string SerialPort::pinnedPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pinned_;
}

std::string SerialPort::lastPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastPath_;
}

void SerialPort::setUserNotice(std::function<void(const std::string&)> notice) {
    std::lock_guard<std::mutex> lock(mutex_);
    notice_ = std::move(notice);
}

bool OpenBusPort(SharedState& state, int baud) {
    SerialPort& port = state.port();
    if (port.isOpen()) port.Close();
    const int number = state.locked([](SharedData& d) { return d.worker.comPortNumber; });
    int kind;
    if (number == 1 || number < 0) {
        port.Open(1, baud);
        kind = 2;
    } else {
        port.Open(number, baud);
        kind = 1;
    }
    const bool open = port.isOpen();
    if (open) {
        if (LinkSettings* settings = state.linkSettings()) {
            settings->setDeviceChoice(kind);
            settings->setComBaud(baud);
        }
    }
    state.locked([&](SharedData& d) {
        d.worker.lastOpenedBaud = baud;
        d.worker.portOpen = open;
    });
    return open;
}

}  // namespace clinora
