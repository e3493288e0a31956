#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "device_record.h"
#include "event_sink.h"
#include "link_words.h"
#include "request_record.h"
#include "serial_port.h"

namespace clinora {

inline constexpr const char* kBroadcastAddress = "65535";
inline constexpr const char* kFactoryAddress = "65534";

// One board's numbers from the multi-board reading.
struct BoardReading {
    double a = 0, b = 0, temperature = 0;
    // Counts the readings stored in this slot, so that a page takes each one
    // once however often it looks.
    uint32_t sequence = 0;
};

// A board's identity as it told it when its page initialised it; what it
// did not tell stays empty.
struct BoardInfo {
    std::string address;
    std::optional<std::string> serial;
    std::optional<float> firmware, boardRevision;
    bool operator==(const BoardInfo&) const = default;
};

// Working copies of the settings that the bus thread or the protocol read.
// The copies only pages use live in the application layer (PageCopies).
struct WorkingCopies {
    bool calibrationMode = false;
    int monitorUnits = 2;      // "RU" code: 0 raw counts, 1 volts, 2 sine
    int monitorUnitsUser = 1;  // 1 shows degrees
    bool continuousReadOn = false;
    bool fahrenheit = false;
    bool setTypeToAll = false;
    int axisSelector = 1;  // 1 axis A, 0 axis B
};

// Results the protocol leaves for the pages.
struct Readings {
    std::string axisA = "--.--", axisB = "--.--", temperature = "--";
    std::array<BoardReading, kMaxBoards> boards{};
    // Each board of the calibration set, read at its initialisation.
    std::array<BoardInfo, kMaxBoards> boardInfo{};
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
    // Steps done of the board being written or verified, for progress displays.
    int transferStep = 0;
    int transferSteps = 0;
    // Cells the transfer changed besides the ones it meant, in the order found
    // (the detail of each stray write event is its index here).
    std::vector<StrayReport> strayReports;
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

    // The bus port. The worker thread uses it in its passes; the Monitor page
    // closes it and searches for the adapter on the user-interface thread
    // before it starts or reconnects the worker. SerialPort locks every
    // operation itself, so such calls never interleave inside one operation;
    // closing it under a running worker makes the worker's exchange fail and
    // the worker reopens it on its own.
    SerialPort& port() { return port_; }

    // Receives "DeviceChoice" and "COMBaud" when the bus port opens; may be null.
    void setLinkSettings(LinkSettings* settings) { linkSettings_ = settings; }
    LinkSettings* linkSettings() const { return linkSettings_; }

    // Runs `f` on the data under the lock. Only values leave the lock: a
    // function returning a reference or a pointer into the data is refused.
    template <class F>
    auto locked(F&& f) {
        using R = std::invoke_result_t<F, SharedData&>;
        static_assert(!std::is_reference_v<R> && !std::is_pointer_v<R>,
                      "SharedState::locked must return a value, not a reference into the data");
        std::lock_guard<std::mutex> lock(mutex_);
        return f(data_);
    }
    template <class F>
    auto locked(F&& f) const {
        using R = std::invoke_result_t<F, const SharedData&>;
        static_assert(!std::is_reference_v<R> && !std::is_pointer_v<R>,
                      "SharedState::locked must return a value, not a reference into the data");
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
