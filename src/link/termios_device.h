#pragma once

#include "serial_device.h"

namespace clinora {

// A serial device file (USB adapter, built-in port, pseudo-terminal) driven
// through POSIX termios: raw 8N1, non-blocking reads.
class TermiosDevice : public SerialDevice {
public:
    ~TermiosDevice() override;
    int open(const std::string& path) override;
    int configureLine(int baud) override;
    int configureTimeouts() override;
    int raiseModemLines() override;
    int bytesWaiting(size_t& count) override;
    int read(uint8_t* buffer, size_t max, size_t& got) override;
    int writeByte(uint8_t byte) override;
    int close() override;

private:
    int fd_ = -1;
};

// Clears the exclusive-use flag of the terminal at `path`, which older
// versions of this program set and which outlived them when they were killed
// (only root can open such a terminal). 0 or an errno code.
int ClearExclusiveUse(const std::string& path);

}  // namespace clinora
