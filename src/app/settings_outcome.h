#pragma once

#include <cstdint>
#include <string>

namespace clinora {

// What the Settings page says once an address action is done: the worker's
// event for an address request in force, in words ("Board 65534 now
// answers at 104"), and while the change is being tried, which attempt runs.
// Empty for events that say nothing about an address action.
std::string AddressOutcome(int eventCode, int detail, const std::string& target,
                           const std::string& newAddress);
// What it says while the request is under way.
std::string AddressRequestSent(uint32_t requestCode, const std::string& target,
                               const std::string& newAddress);

// Whether a write to the boards that the page asked for is still under way:
// an address change, a reset of every address, sensor settings or axis
// flags. It ends with the event that reports its end (or a board that never
// answered), when the worker refused it, or when the page is left.
class BoardWriteWatch {
public:
    void started(uint32_t requestCode);
    void refused() { code_ = 0; }
    void stopped() { code_ = 0; }
    void onEvent(int code, int detail, int boardCount);
    bool running() const { return code_ != 0; }
    uint32_t code() const { return code_; }
    // "Sensor settings are being written to the boards; leaving stops the
    // write. Leave?" and the like; empty when nothing runs.
    std::string leaveQuestion() const;

private:
    uint32_t code_ = 0;
};

}  // namespace clinora
