#pragma once

#include <string>

namespace clinora {

// Working copies of the settings that only the pages use. They live on the
// user-interface thread (the worker never reads them), are seeded from the
// persisted settings at start and copied back at exit.
struct PageCopies {
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
    // Named in the records and certificates of calibrations.
    std::string operatorName;
    std::string stationName;  // empty: the host name
    std::string laboratory;
    std::string laboratoryAddress;
    std::string laboratoryCity;
    std::string laboratoryCountry;
    std::string laboratoryEmail;
};

}  // namespace clinora
