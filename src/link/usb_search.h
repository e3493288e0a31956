#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clinora {

class SerialPort;

// The USB vendor id of the supported adapter.
inline constexpr int kAdapterVendorId = 0x0403;

// A serial port as the system lists it.
struct ListedPort {
    std::string path;  // "/dev/ttyUSB3"
    bool usb = false;
    int vendorId = -1;          // -1 when unknown
    int productId = -1;         // -1 when unknown
    std::string description{};  // what the system calls the device; may be empty
};

struct ChosenPort {
    int number = -1;
    std::string path;
};

// Trailing decimal number of a device name ("/dev/ttyUSB3" gives 3), or -1.
int TrailingNumber(const std::string& path);

// The first listed USB port with the adapter's vendor id and a numbered name.
std::optional<ChosenPort> ChooseUsbPort(const std::vector<ListedPort>& ports);

// Ports the system lists (through libserialport); empty when listing fails.
std::vector<ListedPort> ListSerialPorts();

// Finds the adapter and records its device path for its number in the port,
// returning the number, or -1 when none is found. When the port has a pinned
// path, that device counts as found.
int FindUsbSerialPort(SerialPort& port);

}  // namespace clinora
