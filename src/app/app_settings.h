#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "app/settings_store.h"
#include "link/serial_port.h"

namespace clinora {

// Every persisted setting with its default. Members follow the value names.
struct SettingsValues {
    int32_t averagingOn = 0;
    int32_t expertModeOn = 0;
    int32_t continuousReadOn = 1;
    int32_t setTypeToAll = 1;
    int32_t averageNum = 5;
    int32_t playSound = 1;
    int32_t soundFileIndex = 0;
    int32_t monitorUnits = 1;
    int32_t monitorUnitsUser = 0;
    int32_t fahrenheit = 0;
    int32_t calDisplayDecimalNum = 4;
    int32_t noiseBarOn = 0;
    int32_t comPort = 0;
    int32_t comBaud = 115200;
    int32_t filterFiles = 1;
    int32_t biaxialFile = 0;
    int32_t tiltRange = 15;
    int32_t logInterval = 2;
    int32_t deviceChoice = 0;
    int32_t appendData = 0;
    std::string dataFile = "ZOV_Clinora_LOG.csv";
    int32_t useTags = 0;
    int32_t negateA = 0;
    int32_t negateB = 0;
    double rangeErrorCal = 0.5;         // stored as millionths
    double rangeErrorCalTest = 0.0001;  // stored as millionths
    int32_t rangeCheckEnable = 1;
    // Who and where, for the records and certificates of calibrations.
    std::string operatorName;   // "Operator"
    std::string stationName;    // "StationName"; empty: the host name
    std::string laboratory;     // "Laboratory"
    std::string laboratoryAddress;  // "LaboratoryAddress", one line per line
    std::string laboratoryCity;     // "LaboratoryCity"
    std::string laboratoryCountry;  // "LaboratoryCountry": two capital letters or empty
    std::string laboratoryEmail;    // "LaboratoryEmail"
    // "HistoryServer": the connection URI of the shared records server; empty: none.
    std::string historyServer;
};

// Whether `code` is a country as a certificate states it: two capital
// letters (ISO 3166-1), or empty for not stated.
bool IsCountryCode(const std::string& code);

// A tolerance as the whole count of millionths that the store keeps.
int32_t ToMillionths(double value);

// The persisted settings: defaults, then loaded from the store at
// construction; saved to it at destruction. The worker thread writes
// "COMBaud" and "DeviceChoice" through LinkSettings, so every access locks.
class AppSettings final : public LinkSettings {
public:
    explicit AppSettings(SettingsStore& store);
    ~AppSettings() override;
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    enum class Direction { Load, Save };
    // Visits every value in the fixed order, reading or writing it. Nothing is
    // exchanged when the store cannot be opened.
    void exchangeAll(Direction direction);
    void load() { exchangeAll(Direction::Load); }
    void save() { exchangeAll(Direction::Save); }

    SettingsValues values() const;
    void update(const std::function<void(SettingsValues&)>& edit);

    // LinkSettings: written when the bus port opens (worker thread).
    void setDeviceChoice(int kind) override;
    void setComBaud(int baud) override;

private:
    SettingsStore& store_;
    mutable std::mutex mutex_;
    SettingsValues values_;
};

}  // namespace clinora
