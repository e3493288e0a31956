#include "app/settings_transfer.h"

#include <type_traits>

#include "app/startup_rules.h"

namespace clinora {
namespace {

// The one table of persisted values and their working copies. `f(value, copy)`
// runs for every pair; the two directions below differ only in `f`.
template <class Values, class Bus, class Pages, class F>
void VisitWorkingCopies(Values& v, Bus& w, Pages& p, F&& f) {
    f(v.averagingOn, p.averagingOn);
    f(v.noiseBarOn, p.noiseBarOn);
    f(v.expertModeOn, p.expertModeOn);
    f(v.continuousReadOn, w.continuousReadOn);
    f(v.setTypeToAll, w.setTypeToAll);
    f(v.averageNum, p.averageNum);
    f(v.playSound, p.playSound);
    f(v.soundFileIndex, p.soundFileIndex);
    f(v.monitorUnits, w.monitorUnits);
    f(v.monitorUnitsUser, w.monitorUnitsUser);
    f(v.fahrenheit, w.fahrenheit);
    f(v.calDisplayDecimalNum, p.calDisplayDecimalNum);
    f(v.filterFiles, p.filterFiles);
    f(v.biaxialFile, p.biaxialFile);
    f(v.tiltRange, p.tiltRange);
    f(v.logInterval, p.logInterval);
    f(v.appendData, p.appendData);
    f(v.dataFile, p.logFileName);
    f(v.negateA, p.negateA);
    f(v.negateB, p.negateB);
    f(v.rangeErrorCal, p.rangeErrorCal);
    f(v.rangeErrorCalTest, p.rangeErrorCalTest);
    f(v.rangeCheckEnable, p.rangeCheckEnable);
    f(v.operatorName, p.operatorName);
    f(v.stationName, p.stationName);
    f(v.laboratory, p.laboratory);
    f(v.laboratoryAddress, p.laboratoryAddress);
    f(v.laboratoryCity, p.laboratoryCity);
    f(v.laboratoryCountry, p.laboratoryCountry);
    f(v.laboratoryEmail, p.laboratoryEmail);
}

// Numbers become flags (non-zero is on) and flags numbers (1 and 0).
template <class To, class From>
To Converted(const From& from) {
    return static_cast<To>(from);
}

}  // namespace

void SeedWorkingCopies(const SettingsValues& values, SharedData& data, PageCopies& pages) {
    VisitWorkingCopies(values, data.settings, pages, [](const auto& value, auto& copy) {
        copy = Converted<std::remove_reference_t<decltype(copy)>>(value);
    });
    pages.promptFileName = PromptFileForTiltRange(values.tiltRange);
    data.worker.baudRate = values.comBaud;
}

void ExitCopy(const WorkingCopies& copies, const PageCopies& pages, SettingsValues& values) {
    VisitWorkingCopies(values, copies, pages, [](auto& value, const auto& copy) {
        value = Converted<std::remove_reference_t<decltype(value)>>(copy);
    });
}

}  // namespace clinora
