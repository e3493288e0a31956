#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace clinora {

// The byte pipe under SerialPort: a POSIX tty, or the simulated bus.
// Every call returns 0 on success or an errno-style error code.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the device at `path` for exclusive read and write.
    virtual int open(const std::string& path) = 0;
    // Raw 8N1 at `baud`, binary, no flow control.
    virtual int configureLine(int baud) = 0;
    // Reads return at once with whatever is buffered.
    virtual int configureTimeouts() = 0;
    // Raises DTR then RTS. ENOTTY/EINVAL mean the device has no modem lines.
    virtual int raiseModemLines() = 0;
    virtual int bytesWaiting(size_t& count) = 0;
    // Reads up to `max` bytes without blocking; `got` receives the count.
    virtual int read(uint8_t* buffer, size_t max, size_t& got) = 0;
    virtual int writeByte(uint8_t byte) = 0;
    virtual int close() = 0;
};

}  // namespace clinora
