#include "app/app_settings.h"

#include "app/app_files.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace clinora {
namespace {

// Reads or writes one value at a time against an open store.
struct Exchange {
    SettingsStore& store;
    bool save;

    void number(const char* name, int32_t& value) {
        if (save)
            store.writeNumber(name, value);
        else
            store.readNumber(name, value);
    }
    void text(const char* name, std::string& value) {
        if (save)
            store.writeText(name, value);
        else
            store.readText(name, value);
    }
    // The value travels as a count of millionths and comes back from it, so
    // the in-memory value is always a whole number of millionths.
    void millionths(const char* name, double& value) {
        int32_t count = ToMillionths(value);
        number(name, count);
        value = count * 0.000001;
    }
};

// A loaded value outside its valid set gives way to its default: a baud rate
// the port never uses would never connect, and a data file with a folder part
// would put the log outside the working folder.
void KeepValidValues(SettingsValues& v) {
    const SettingsValues defaults;
    if (v.comBaud != 115200 && v.comBaud != 9600) v.comBaud = defaults.comBaud;
    if (!IsPlainFileName(v.dataFile)) v.dataFile = defaults.dataFile;
    if (!IsCountryCode(v.laboratoryCountry)) v.laboratoryCountry.clear();
}

}  // namespace

bool IsCountryCode(const std::string& code) {
    return code.empty() ||
           (code.size() == 2 && std::all_of(code.begin(), code.end(),
                                            [](char c) { return c >= 'A' && c <= 'Z'; }));
}

int32_t ToMillionths(double value) {
    if (!std::isfinite(value)) return 0;
    const double scaled = value * 1000000.0;
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    if (scaled >= kMax) return std::numeric_limits<int32_t>::max();
    if (scaled <= kMin) return std::numeric_limits<int32_t>::min();
    // Truncation toward zero, except that a product a rounding error away from
    // a whole number is that number: n * 0.000001 * 1000000 can come out as
    // n - 1e-9, and plain truncation would lower a stored value by one at
    // every load and save.
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) < 1e-6) return static_cast<int32_t>(nearest);
    return static_cast<int32_t>(std::trunc(scaled));
}

AppSettings::AppSettings(SettingsStore& store) : store_(store) { load(); }

AppSettings::~AppSettings() { save(); }

void AppSettings::exchangeAll(Direction direction) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!store_.open()) return;
    Exchange x{store_, direction == Direction::Save};
    SettingsValues& v = values_;
    x.number("AveragingOn", v.averagingOn);
    x.number("ExpertModeOn", v.expertModeOn);
    x.number("ContinuousReadOn", v.continuousReadOn);
    x.number("SetTypeToAll", v.setTypeToAll);
    x.number("AverageNum", v.averageNum);
    x.number("PlaySound", v.playSound);
    x.number("SoundFileIndex", v.soundFileIndex);
    x.number("MonitorUnits", v.monitorUnits);
    x.number("MonitorUnitsUser", v.monitorUnitsUser);
    x.number("Fahrenheit", v.fahrenheit);
    x.number("CalDisplayDecimalNum", v.calDisplayDecimalNum);
    x.number("NoiseBarOn", v.noiseBarOn);
    x.number("COMPort", v.comPort);
    x.number("COMBaud", v.comBaud);
    x.number("FilterFiles", v.filterFiles);
    x.number("BiaxialFile", v.biaxialFile);
    x.number("TiltRange", v.tiltRange);
    x.number("LogInterval", v.logInterval);
    x.number("DeviceChoice", v.deviceChoice);
    x.number("AppendData", v.appendData);
    x.text("DataFile", v.dataFile);
    x.number("UseTags", v.useTags);
    x.number("NegateA", v.negateA);
    x.number("NegateB", v.negateB);
    x.millionths("RangeErrorCal", v.rangeErrorCal);
    x.millionths("RangeErrorCalTest", v.rangeErrorCalTest);
    x.number("RangeCheckEnable", v.rangeCheckEnable);
    x.text("Operator", v.operatorName);
    x.text("StationName", v.stationName);
    x.text("Laboratory", v.laboratory);
    x.text("LaboratoryAddress", v.laboratoryAddress);
    x.text("LaboratoryCity", v.laboratoryCity);
    x.text("LaboratoryCountry", v.laboratoryCountry);
    x.text("LaboratoryEmail", v.laboratoryEmail);
    x.text("HistoryServer", v.historyServer);
    store_.close();
    if (direction == Direction::Load) KeepValidValues(v);
}

SettingsValues AppSettings::values() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
}

void AppSettings::update(const std::function<void(SettingsValues&)>& edit) {
    std::lock_guard<std::mutex> lock(mutex_);
    edit(values_);
}

void AppSettings::setDeviceChoice(int kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.deviceChoice = kind;
}

void AppSettings::setComBaud(int baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.comBaud = baud;
}

}  // namespace clinora
