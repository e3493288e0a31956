#pragma once

#include <cstdint>

namespace clinora {

// The named codes keep the numbers the boards' tools have always used: pages,
// tests and logs of earlier versions speak in these numbers.

// Requests a page hands to the worker with PostRequest (one at a time).
enum RequestCode : uint32_t {
    kConnectRequest = 0x1,
    kTriggerOffLoopRequest = 0x20,
    kWriteCalibrationRequest = 0x4000,
    kBiaxialWriteRequest = 0x4001,
    kStopRequest = 0x8000,
    kAddressChangeRequest = 0x80000,
    kDeviceInfoRequest = 0x100000,
    kInitRequest = 0x400000,
    kResetAddressesRequest = 0x800000,
    kReadSensorSettingsRequest = 0x1000000,
    kWriteSensorSettingsRequest = 0x2000000,
    kTriggerOffRequest = 0x4000000,
    kModeZeroRequest = 0x8000000,
    kVerifyCalibrationRequest = 0x10000000,
    kReadAxisFlagsRequest = 0x20000000,
    kWriteAxisFlagsRequest = 0x40000000,
};

// The worker's states.
enum WorkerStateId : int {
    kStateIdleReset = 0,
    kStateOpen = 1,
    kStateDeviceInfo = 4,
    kStateAddressQuery = 6,
    kStateEnd = 12,
    kStateHeartbeat = 13,
    kStateChangeAddress = 15,
    kStateWriteTypeCode = 16,
    kStateNewAddressProbe = 17,  // no board may answer at the new address yet
    kStateAddressChangeProbe = 20,
    kStateTriggerOffLoop = 21,
    kStateUnitsAndTrigger = 22,
    kStateBoardInit = 23,
    kStateWriteProbe = 24,
    kStateSensorReadProbe = 25,
    kStateSensorWriteProbe = 26,
    kStateVerifyProbe = 27,
    kStateSingleReading = 28,
    kStateTrigger = 30,
    kStateBoardReading = 31,
    kStateUpload = 32,
    kStateReadSensorSettings = 33,
    kStateWriteSensorSettings = 34,
    kStateStopTrigger = 37,
    kStateModeZero = 38,
    kStateVerify = 39,
    kStateFlagsReadProbe = 42,
    kStateFlagsWriteProbe = 43,
    kStateReadAxisFlags = 44,
    kStateWriteAxisFlags = 45,
    kStateBiaxialUpload = 47,
    kStateBiaxialProbe = 48,
};

// Event codes of message 1125 (the first parameter; the detail is the second).
enum WorkerEventCode : int {
    kEventAddressChangeGaveUp = 0,    // 0 no board at the target, else the attempts made
    kEventPortOpen = 1,               // 1 opened, 0 not
    kEventDeviceInfo = 4,             // 1 success, 0 failure
    kEventHeartbeat = 13,             // 13
    kEventAddressChanged = 15,        // 0, or kTypeNotWritten
    kEventAddressInUse = 17,          // the new address as a number: a board answers there
    kEventAddressChangeAttempt = 18,  // the attempt about to be made (1 .. kAddressChangeAttempts)
    kEventUnitsAndTrigger = 19,       // 1 success, 0 failure
    kEventBoardInitialised = 23,      // board index
    kEventWriteProbe = 24,            // 24
    kEventVerifyProbe = 27,           // 27
    kEventSingleReading = 28,         // 1 success, 0 failure
    kEventAddressQuery = 29,          // 1 answered, 0 not
    kEventBoardTriggered = 30,        // board index
    kEventBoardRead = 31,             // board index
    kEventBoardWritten = 32,          // 32, or an address number
    kEventSettingsRead = 33,          // board index
    kEventBoardReadFailed = 35,       // board index
    kEventSettingsReadFailed = 36,    // board index
    kEventBoardVerified = 39,         // 39, or an address number
    kEventTriggerFailed = 40,         // board index
    kEventFlagsRead = 44,             // board index
    kEventFlagsReadFailed = 46,       // board index
    kEventBiaxialWrite = 47,          // 47
    kEventBiaxialProbe = 48,          // 48
    kEventUploadStarting = 100,       // address number
    kEventUploadsDone = 101,          // address number
    kEventUploadFailed = 102,         // retry count, 102 when final
    kEventSettingsWritten = 103,      // board index reached
    kEventVerifyStarting = 106,       // address number
    kEventVerifiesDone = 107,         // address number
    kEventVerifyFailed = 108,         // retry count, 108 when final
    kEventFlagsWritten = 109,         // board index reached
    kEventNoBoard = 112,              // 112
    kEventStrayWrite = 113,           // index into WorkerShared::strayReports
    kEventAddressesReset = 0x800000,  // detail of the previous event
};

// Detail of kEventAddressChanged: the board took its address, but its type
// letters could not be written.
inline constexpr int kTypeNotWritten = 1;

// Port status codes of message 1124 (the second parameter; the first is 2).
inline constexpr int kPortStatusFirst = 2;
enum PortStatusCode : int {
    kPortIdle = 0,
    kPortOpened = 1,
    kPortOpenFailed = 2,
    kPortBoardNotFound = 3,
    kPortNotSelected = 41,
};

}  // namespace clinora
