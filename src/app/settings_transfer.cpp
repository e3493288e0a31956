#include "app/settings_transfer.h"

#include "app/startup_rules.h"

namespace clinora {

void SeedSharedData(const SettingsValues& v, SharedData& data) {
    WorkingCopies& w = data.settings;
    w.averagingOn = v.averagingOn != 0;
    w.noiseBarOn = v.noiseBarOn != 0;
    w.expertModeOn = v.expertModeOn != 0;
    w.continuousReadOn = v.continuousReadOn != 0;
    w.setTypeToAll = v.setTypeToAll != 0;
    w.averageNum = v.averageNum;
    w.playSound = v.playSound != 0;
    w.soundFileIndex = v.soundFileIndex;
    w.monitorUnits = v.monitorUnits;
    w.monitorUnitsUser = v.monitorUnitsUser;
    w.fahrenheit = v.fahrenheit != 0;
    w.calDisplayDecimalNum = v.calDisplayDecimalNum;
    w.filterFiles = v.filterFiles != 0;
    w.biaxialFile = v.biaxialFile != 0;
    w.tiltRange = v.tiltRange;
    w.logInterval = v.logInterval;
    w.appendData = v.appendData != 0;
    w.logFileName = v.dataFile;
    w.negateA = v.negateA != 0;
    w.negateB = v.negateB != 0;
    w.rangeErrorCal = v.rangeErrorCal;
    w.rangeErrorCalTest = v.rangeErrorCalTest;
    w.rangeCheckEnable = v.rangeCheckEnable != 0;
    w.promptFileName = PromptFileForTiltRange(v.tiltRange);
    data.worker.baudRate = v.comBaud;
}

void ExitCopy(const WorkingCopies& w, SettingsValues& v) {
    v.averagingOn = w.averagingOn;
    v.noiseBarOn = w.noiseBarOn;
    v.expertModeOn = w.expertModeOn;
    v.continuousReadOn = w.continuousReadOn;
    v.setTypeToAll = w.setTypeToAll;
    v.averageNum = w.averageNum;
    v.playSound = w.playSound;
    v.soundFileIndex = w.soundFileIndex;
    v.monitorUnits = w.monitorUnits;
    v.monitorUnitsUser = w.monitorUnitsUser;
    v.fahrenheit = w.fahrenheit;
    v.calDisplayDecimalNum = w.calDisplayDecimalNum;
    v.filterFiles = w.filterFiles;
    v.biaxialFile = w.biaxialFile;
    v.tiltRange = w.tiltRange;
    v.logInterval = w.logInterval;
    v.appendData = w.appendData;
    v.dataFile = w.logFileName;
    v.negateA = w.negateA;
    v.negateB = w.negateB;
    v.rangeErrorCal = w.rangeErrorCal;
    v.rangeErrorCalTest = w.rangeErrorCalTest;
    v.rangeCheckEnable = w.rangeCheckEnable;
}

}  // namespace clinora
