#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clinora {

// What a page hands to the worker with a request. Every page keeps its own.
struct RequestRecord {
    std::string targetAddress;
    std::string newAddress;
    std::array<uint8_t, 2> typeLetters{};     // memory bytes 1 and 2
    std::array<uint8_t, 3> sensorSettings{};  // memory 0x41..0x43
    std::array<uint8_t, 3> axisFlags{};       // memory 0x49..0x4B
    std::vector<std::string> boardList;       // walked by the multi-board states
};

}  // namespace clinora
