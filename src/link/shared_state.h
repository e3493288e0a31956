#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device_record.h"
#include "event_sink.h"
#include "request_record.h"
#include "serial_port.h"

namespace clinora {

inline constexpr const char* kBroadcastAddress = "65535";
inline constexpr const char* kFactoryAddress = "65534";

// One board's numbers from the multi-board reading.
struct BoardReading {
    double a = 0, b = 0, temperature = 0;
};

// Settings the running program reads and edits (working copies of the
// persisted settings) as far as the bus needs them.
struct WorkingCopies {
    bool calibrationMode = false;
    int monitorUnits = 2;      // "RU" code: 0 raw counts, 1 volts, 2 sine
    int monitorUnitsUser = 1;  // 1 shows degrees
    bool continuousReadOn = false;
    bool fahrenheit = false;
    bool setTypeToAll = false;
    int axisSelector = 1;  // 1 axis A, 0 axis B
    // Working copies used by the pages only (seeded at start, copied back at exit).
    bool averagingOn = false;
    bool noiseBarOn = false;
    bool expertModeOn = false;
    int averageNum = 5;
    bool playSound = true;
    int soundFileIndex = 0;
    int calDisplayDecimalNum = 4;
    bool filterFiles = true;
    bool biaxialFile = false;
    int tiltRange = 15;
    int logInterval = 2;
    bool appendData = false;
    bool negateA = false;
    bool negateB = false;
    double rangeErrorCal = 0.5;
    double rangeErrorCalTest = 0.0001;
    bool rangeCheckEnable = true;
    std::string logFileName = "ZOV_Orvano_LOG.csv";  // "DataFile"
    std::string promptFileName = "CalPrompts.csv";   // follows "TiltRange"
};

// Results the protocol leaves for the pages.
struct Readings {
    std::string axisA = "--.--", axisB = "--.--", temperature = "--";
    std::array<BoardReading, kMaxBoards> boards{};
    std::string serialNumber;
    float firmwareVersion = 0, boardRevision = 0;
    std::array<uint8_t, 3> sensorSettings{};
    std::array<uint8_t, 3> axisFlags{};
    std::string foundAddress;
    std::string unitsLabel;  // "Cal", "mm" or "Deg"

    // The texts shown while no board answers.
    void showNoReading() {
        axisA = "----";
        axisB = "----";
        temperature = "--.-";
    }
};

// The worker's members that pages read or set.
struct WorkerShared {
    int state = 1;
    bool started = false;
    bool requestPending = false;
    uint32_t requestCode = 0;
    uint32_t lastRequestCode = 0;
    bool stop = false;
    int currentBoardIndex = 0;
    int boardCount = 0;
    int writeTarget = 0;
    bool linkOk = false;
    int baudRate = 115200;
    int lastOpenedBaud = 0;
    bool portOpen = false;  // copy of the port's open flag after the last open
    bool usbPortFound = false;
    int comPortNumber = 0;
    std::weak_ptr<EventSink> currentPage;
    std::weak_ptr<EventSink> pageHost;
};

// Everything the pages and the worker share. The two threads meet only
// through `locked`, which runs a function on the data under one mutex.
struct SharedData {
    WorkingCopies settings;
    Readings readings;
    WorkerShared worker;
    RequestRecord request;  // the record of the request in force (a copy)
    std::array<DeviceRecord, kMaxBoards> devices{};
    std::vector<std::string> currentAddresses, addressPool, usedAddresses;
};

class SharedState {
public:
    explicit SharedState(SerialPort& port) : port_(port) {}

    // The bus port. Used by the worker thread only while it runs.
    SerialPort& port() { return port_; }

    // Receives "DeviceChoice" and "COMBaud" when the bus port opens; may be null.
    void setLinkSettings(LinkSettings* settings) { linkSettings_ = settings; }
    LinkSettings* linkSettings() const { return linkSettings_; }

    template <class F>
    decltype(auto) locked(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(data_);
    }
    template <class F>
    decltype(auto) locked(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const SharedData&>(data_));
    }
    // A consistent copy of everything, for display code and tests.
    SharedData snapshot() const {
        return locked([](const SharedData& d) { return d; });
    }

private:
    SerialPort& port_;
    LinkSettings* linkSettings_ = nullptr;
    mutable std::mutex mutex_;
    SharedData data_;
};

}  // namespace clinora
