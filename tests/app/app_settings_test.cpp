#include "app/app_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>

#include "app/settings_transfer.h"
#include "link/shared_state.h"

namespace clinora {
namespace {

int32_t StoredNumber(const MemorySettingsStore& store, const std::string& name) {
    return std::get<int32_t>(store.values.at(name));
}

TEST(AppSettings, EmptyStoreGivesDefaultsAndSavesThemInTableOrder) {
    MemorySettingsStore store;
    {
        AppSettings settings(store);
        const SettingsValues v = settings.values();
        EXPECT_EQ(v.dataFile, "ZOV_Clinora_LOG.csv");
        EXPECT_EQ(v.comBaud, 115200);
        EXPECT_EQ(v.tiltRange, 15);
        EXPECT_EQ(v.continuousReadOn, 1);
        EXPECT_DOUBLE_EQ(v.rangeErrorCal, 0.5);
        EXPECT_DOUBLE_EQ(v.rangeErrorCalTest, 0.0001);
        store.visited.clear();
    }
    EXPECT_EQ(std::get<std::string>(store.values.at("DataFile")), "ZOV_Clinora_LOG.csv");
    EXPECT_EQ(StoredNumber(store, "RangeErrorCal"), 500000);
    EXPECT_EQ(StoredNumber(store, "RangeErrorCalTest"), 100);
    EXPECT_EQ(StoredNumber(store, "AverageNum"), 5);
    const std::vector<std::string> order = {"AveragingOn",
                                            "ExpertModeOn",
                                            "ContinuousReadOn",
                                            "SetTypeToAll",
                                            "AverageNum",
                                            "PlaySound",
                                            "SoundFileIndex",
                                            "MonitorUnits",
                                            "MonitorUnitsUser",
                                            "Fahrenheit",
                                            "CalDisplayDecimalNum",
                                            "NoiseBarOn",
                                            "COMPort",
                                            "COMBaud",
                                            "FilterFiles",
                                            "BiaxialFile",
                                            "TiltRange",
                                            "LogInterval",
                                            "DeviceChoice",
                                            "AppendData",
                                            "DataFile",
                                            "UseTags",
                                            "NegateA",
                                            "NegateB",
                                            "RangeErrorCal",
                                            "RangeErrorCalTest",
                                            "RangeCheckEnable",
                                            "Operator",
                                            "StationName",
                                            "Laboratory",
                                            "LaboratoryAddress",
                                            "LaboratoryCity",
                                            "LaboratoryCountry",
                                            "LaboratoryEmail",
                                            "HistoryServer"};
    EXPECT_EQ(store.visited, order);
}

TEST(AppSettings, StoredValuesLoadAndValuesOfTheWrongKindKeepTheirDefault) {
    MemorySettingsStore store;
    store.values["TiltRange"] = int32_t{45};
    store.values["DataFile"] = std::string("mylog.csv");
    store.values["AverageNum"] = std::string("ten");  // a text where a number belongs
    AppSettings settings(store);
    EXPECT_EQ(settings.values().tiltRange, 45);
    EXPECT_EQ(settings.values().dataFile, "mylog.csv");
    EXPECT_EQ(settings.values().averageNum, 5);
}

TEST(AppSettings, StoredValuesOutsideTheirValidSetFallBackToTheirDefault) {
    const struct {
        int32_t baud;
        const char* dataFile;
        const char* country;
        int32_t loadedBaud;
        const char* loadedDataFile;
        const char* loadedCountry;
    } cases[] = {
        {9600, "run 2.csv", "DE", 9600, "run 2.csv", "DE"},
        {-5, "../log.csv", "de", 115200, "ZOV_Clinora_LOG.csv", ""},
        {0, "/tmp/log.csv", "DEU", 115200, "ZOV_Clinora_LOG.csv", ""},
        {57600, "..", "D", 115200, "ZOV_Clinora_LOG.csv", ""},
        {115200, "", "", 115200, "ZOV_Clinora_LOG.csv", ""},
        {115200, "a\\b.csv", "Z1", 115200, "ZOV_Clinora_LOG.csv", ""},
        {115200, "line\nbreak.csv", "ZZ", 115200, "ZOV_Clinora_LOG.csv", "ZZ"},
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        store.values["COMBaud"] = c.baud;
        store.values["DataFile"] = std::string(c.dataFile);
        store.values["LaboratoryCountry"] = std::string(c.country);
        AppSettings settings(store);
        EXPECT_EQ(settings.values().comBaud, c.loadedBaud) << c.baud;
        EXPECT_EQ(settings.values().dataFile, c.loadedDataFile) << c.dataFile;
        EXPECT_EQ(settings.values().laboratoryCountry, c.loadedCountry) << c.country;
    }
}

TEST(AppSettings, StoreThatCannotBeOpenedKeepsDefaultsAndSavesNothing) {
    MemorySettingsStore store;
    store.setOpenable(false);
    {
        AppSettings settings(store);
        settings.update([](SettingsValues& v) { v.tiltRange = 90; });
        EXPECT_EQ(settings.values().averageNum, 5);
    }
    EXPECT_TRUE(store.values.empty());
}

TEST(AppSettings, TolerancesTravelAsWholeMillionths) {
    MemorySettingsStore store;
    store.values["RangeErrorCal"] = int32_t{1};
    {
        AppSettings settings(store);
        EXPECT_DOUBLE_EQ(settings.values().rangeErrorCal, 0.000001);
        settings.update([](SettingsValues& v) { v.rangeErrorCalTest = 0.0000015; });
    }
    EXPECT_EQ(StoredNumber(store, "RangeErrorCalTest"), 1);
    AppSettings reloaded(store);
    EXPECT_DOUBLE_EQ(reloaded.values().rangeErrorCalTest, 0.000001);
}

TEST(AppSettings, ToleranceDoesNotDriftAcrossLoadAndSave) {
    // 15 * 0.000001 * 1000000 is just below 15; plain truncation would store 14.
    MemorySettingsStore store;
    for (int32_t count : {15, 19, 25, 33, 1999999}) {
        store.values["RangeErrorCal"] = count;
        { AppSettings settings(store); }
        EXPECT_EQ(StoredNumber(store, "RangeErrorCal"), count);
    }
}

TEST(AppSettings, ImpossibleTolerancesAreClamped) {
    EXPECT_EQ(ToMillionths(1e12), INT32_MAX);
    EXPECT_EQ(ToMillionths(-1e12), INT32_MIN);
    EXPECT_EQ(ToMillionths(std::nan("")), 0);
    EXPECT_EQ(ToMillionths(-0.0000015), -1);
}

TEST(AppSettings, WorkerWrittenBaudIsSavedWithoutTheExitCopy) {
    MemorySettingsStore store;
    store.values["DeviceChoice"] = int32_t{2};
    store.values["UseTags"] = int32_t{3};
    {
        AppSettings settings(store);
        SharedData data;
        PageCopies pages;
        SeedWorkingCopies(settings.values(), data, pages);
        EXPECT_EQ(data.worker.baudRate, 115200);
        // The worker opens the port at 9600 on its own thread.
        std::thread worker([&] {
            settings.setComBaud(9600);
            settings.setDeviceChoice(1);
        });
        worker.join();
        pages.tiltRange = 30;
        pages.logFileName = "other.csv";
        settings.update([&](SettingsValues& v) { ExitCopy(data.settings, pages, v); });
    }
    EXPECT_EQ(StoredNumber(store, "COMBaud"), 9600);
    EXPECT_EQ(StoredNumber(store, "DeviceChoice"), 1);
    EXPECT_EQ(StoredNumber(store, "UseTags"), 3);
    EXPECT_EQ(StoredNumber(store, "TiltRange"), 30);
    EXPECT_EQ(std::get<std::string>(store.values.at("DataFile")), "other.csv");
}

TEST(AppSettings, SeedingFillsWorkingCopiesAndPromptFile) {
    SettingsValues v;
    v.tiltRange = 10;
    v.monitorUnits = 0;
    v.negateB = 1;
    v.comBaud = 9600;
    v.dataFile = "log.csv";
    v.operatorName = "A. Técnico";
    v.laboratoryAddress = "Hall 3\nCalibration bay";
    v.historyServer = "postgresql://calib@labserver/clinora";
    SharedData data;
    PageCopies pages;
    SeedWorkingCopies(v, data, pages);
    EXPECT_EQ(pages.operatorName, "A. Técnico");
    EXPECT_EQ(pages.laboratoryAddress, "Hall 3\nCalibration bay");
    EXPECT_EQ(pages.promptFileName, "CalPrompts10.csv");
    EXPECT_EQ(data.settings.monitorUnits, 0);
    EXPECT_TRUE(pages.negateB);
    EXPECT_EQ(pages.logFileName, "log.csv");
    EXPECT_EQ(data.worker.baudRate, 9600);
    SettingsValues back;
    back.comBaud = 4800;
    ExitCopy(data.settings, pages, back);
    EXPECT_EQ(back.tiltRange, 10);
    EXPECT_EQ(back.negateB, 1);
    EXPECT_EQ(back.comBaud, 4800);
    EXPECT_EQ(back.operatorName, "A. Técnico");
    EXPECT_EQ(back.historyServer, "");  // not a working copy: the exit copy leaves it alone
}

}  // namespace
}  // namespace clinora
