#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "serial_device.h"

namespace clinora {

// Size of a reply buffer; the collected text always keeps one zero byte free.
inline constexpr size_t kReplyBufferSize = 8192;
// The longest a close waits for a command line in progress to end.
inline constexpr int kLineWaitMs = 2000;

// A serial port opened by number with fixed line settings and non-blocking
// reads, over a SerialDevice (a tty or the simulated bus).
class SerialPort {
public:
    explicit SerialPort(SerialDevice& device) : device_(device) {}
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool Open(int portNumber, int baud);
    // False when the device refused to close (the port counts as closed all
    // the same). Called from another thread while a command line is being
    // written, it waits for that line's end (at most kLineWaitMs), so that no
    // line is ever cut in the middle by a close.
    bool Close();
    bool WriteByte(uint8_t byte);
    size_t BytesWaiting();
    size_t Read(uint8_t* buffer, size_t maximum);
    size_t Discard();
    // Appends waiting bytes behind `collected` bytes of an 8192-byte buffer.
    long ReadAppend(uint8_t* buffer, size_t collected);

    bool isOpen() const;
    // Bytes of a command line have gone out and its carriage return has not.
    bool lineInProgress() const;
    std::string errorText() const;
    int lastError() const;

    // Device path that port number n opens: the pinned path when one is set,
    // else the path the adapter search recorded for n, else /dev/ttyS0 for
    // port 1 (the built-in port) and /dev/ttyUSB<n> for any other number.
    std::string devicePathFor(int portNumber) const;
    void recordPath(int portNumber, const std::string& path);
    void pinPath(const std::string& path);
    std::string pinnedPath() const;
    // The device path of the last Open, for messages; empty before one.
    std::string lastPath() const;
    // Where errors that the user must see go (the close failure). Default: none.
    void setUserNotice(std::function<void(const std::string&)> notice);

private:
    void fail(int code, const std::string& text);

    SerialDevice& device_;
    mutable std::mutex mutex_;  // guards the members below
    std::condition_variable lineEnded_;
    bool lineOpen_ = false;
    std::thread::id lineWriter_;  // the thread that wrote the last byte
    std::string errorText_;
    int lastError_ = 0;
    int handle_ = 0;  // 0 at construction, -1 after close, 1 while open
    bool open_ = false;
    std::map<int, std::string> recorded_;
    std::string pinned_;
    std::string lastPath_;
    std::function<void(const std::string&)> notice_;
};

// Receives the settings that opening the bus port writes ("DeviceChoice",
// "COMBaud"). The application's settings object implements it.
class LinkSettings {
public:
    virtual ~LinkSettings() = default;
    virtual void setDeviceChoice(int kind) = 0;
    virtual void setComBaud(int baud) = 0;
};

class SharedState;
// Opens the bus port from the shared state's port number at `baud`, records
// the port kind and rate, and returns the open flag.
// Settings are written through the state's LinkSettings when one is set.
bool OpenBusPort(SharedState& state, int baud);

}  // namespace clinora
