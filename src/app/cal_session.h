#pragma once

#include <array>
#include <string>

#include "link/device_record.h"

namespace clinora {

// What the Cal and Test pages share on the user-interface thread: the six
// boards' records of the calibration in hand (readings, constants, labels,
// status texts) and whether the last calibration was saved to a file. The
// worker gets a copy of the records with each write or verify request.
struct CalSession {
    CalSession();

    // Status texts of a board's record.
    static constexpr const char* kNoCalibration = " ";
    static constexpr const char* kFromFile = "----File";
    static constexpr const char* kCalibrated = "----Cal";
    static constexpr const char* kTested = "----Cal Test";

    std::array<DeviceRecord, kMaxBoards> devices;
    // The record of each board's last calibration written on the Cal page
    // (the board's address and serial number, the record's UUID), named by
    // the test record that checks the same board.
    struct CalibrationRecord {
        std::string address, serial, uuid;
    };
    std::array<CalibrationRecord, kMaxBoards> calibrationRecords{};
    bool calibrationSavedToFile = false;
    int promptRows = 0;  // N of the prompt file read last
};

}  // namespace clinora
