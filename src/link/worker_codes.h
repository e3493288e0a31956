#pragma once

#include <cstdint>

namespace clinora {

// Requests a page hands to the worker with PostRequest (one at a time).
inline constexpr uint32_t kConnectRequest = 0x1;
inline constexpr uint32_t kTriggerOffLoopRequest = 0x20;
inline constexpr uint32_t kWriteCalibrationRequest = 0x4000;
inline constexpr uint32_t kBiaxialWriteRequest = 0x4001;
inline constexpr uint32_t kStopRequest = 0x8000;
inline constexpr uint32_t kAddressChangeRequest = 0x80000;
inline constexpr uint32_t kDeviceInfoRequest = 0x100000;
inline constexpr uint32_t kInitRequest = 0x400000;
inline constexpr uint32_t kResetAddressesRequest = 0x800000;
inline constexpr uint32_t kReadSensorSettingsRequest = 0x1000000;
inline constexpr uint32_t kWriteSensorSettingsRequest = 0x2000000;
inline constexpr uint32_t kTriggerOffRequest = 0x4000000;
inline constexpr uint32_t kModeZeroRequest = 0x8000000;
inline constexpr uint32_t kVerifyCalibrationRequest = 0x10000000;
inline constexpr uint32_t kReadAxisFlagsRequest = 0x20000000;
inline constexpr uint32_t kWriteAxisFlagsRequest = 0x40000000;

// Event codes of message 1125 (the first parameter; the detail is the second).
inline constexpr int kEventAddressChangeGaveUp = 0;    // detail 0
inline constexpr int kEventPortOpen = 1;               // 1 opened, 0 not
inline constexpr int kEventDeviceInfo = 4;             // 1 success, 0 failure
inline constexpr int kEventHeartbeat = 13;             // 13
inline constexpr int kEventAddressChanged = 15;        // 0
inline constexpr int kEventUnitsAndTrigger = 19;       // 1 success, 0 failure
inline constexpr int kEventBoardInitialised = 23;      // board index
inline constexpr int kEventWriteProbe = 24;            // 24
inline constexpr int kEventVerifyProbe = 27;           // 27
inline constexpr int kEventSingleReading = 28;         // 1 success, 0 failure
inline constexpr int kEventAddressQuery = 29;          // 1 answered, 0 not
inline constexpr int kEventBoardTriggered = 30;        // board index
inline constexpr int kEventBoardRead = 31;             // board index
inline constexpr int kEventBoardWritten = 32;          // 32, or an address number
inline constexpr int kEventSettingsRead = 33;          // board index
inline constexpr int kEventBoardReadFailed = 35;       // board index
inline constexpr int kEventSettingsReadFailed = 36;    // board index
inline constexpr int kEventBoardVerified = 39;         // 39, or an address number
inline constexpr int kEventTriggerFailed = 40;         // board index
inline constexpr int kEventFlagsRead = 44;             // board index
inline constexpr int kEventFlagsReadFailed = 46;       // board index
inline constexpr int kEventBiaxialWrite = 47;          // 47
inline constexpr int kEventBiaxialProbe = 48;          // 48
inline constexpr int kEventUploadStarting = 100;       // address number
inline constexpr int kEventUploadsDone = 101;          // address number
inline constexpr int kEventUploadFailed = 102;         // retry count, 102 when final
inline constexpr int kEventSettingsWritten = 103;      // board index reached
inline constexpr int kEventVerifyStarting = 106;       // address number
inline constexpr int kEventVerifiesDone = 107;         // address number
inline constexpr int kEventVerifyFailed = 108;         // retry count, 108 when final
inline constexpr int kEventFlagsWritten = 109;         // board index reached
inline constexpr int kEventNoBoard = 112;              // 112
inline constexpr int kEventAddressesReset = 0x800000;  // detail of the previous event

// Port status codes of message 1124 (the second parameter; the first is 2).
inline constexpr int kPortStatusFirst = 2;
inline constexpr int kPortIdle = 0;
inline constexpr int kPortOpened = 1;
inline constexpr int kPortOpenFailed = 2;
inline constexpr int kPortBoardNotFound = 3;
inline constexpr int kPortNotSelected = 41;

}  // namespace clinora
