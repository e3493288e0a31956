#include "app/page_host_setup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/address_lists.h"
#include "app/app_settings.h"
#include "app/demo_folder.h"
#include "app/settings_page_model.h"
#include "link/serial_device.h"
#include "temp_folder.h"

namespace clinora {
namespace {

using testing::TempFolder;
using List = std::vector<std::string>;

// A device that is never opened: the tests need the shared state only.
struct NoDevice : SerialDevice {
    int open(const std::string&) override { return -1; }
    int configureLine(int) override { return -1; }
    int configureTimeouts() override { return -1; }
    int raiseModemLines() override { return -1; }
    int bytesWaiting(size_t&) override { return -1; }
    int read(uint8_t*, size_t, size_t&) override { return -1; }
    int writeByte(uint8_t) override { return -1; }
    int close() override { return 0; }
};

class PageHostSetup : public ::testing::Test {
protected:
    PageHostSetup() : port(device), state(port) {
        files.workingFolder = folder.path();
        folder.write(kCurrentAddressFile, "Current Addresses File\r\n101\r\n102\r\n");
        folder.write(kPoolAddressFile, "Addresses Pool File\r\n200\r\n");
        folder.write(kUsedAddressFile, "Used Addresses File\r\n300\r\n");
    }
    bool load() { return LoadAddressLists(files, state); }
    // The Settings page as it becomes active on the lists read.
    SettingsPageModel settingsPage() {
        SettingsPageModel page;
        page.activate(TakeAddressLists(state), false);
        return page;
    }
    // The page's lists back into the shared state, then the exit's files.
    void exitAfter(const SettingsPageModel& page) {
        StoreAddressLists(state, page.lists());
        MemorySettingsStore store;
        AppSettings settings(store);
        SaveAtExit(state, copies, settings, files);
    }

    TempFolder folder;
    NoDevice device;
    SerialPort port;
    SharedState state;
    AppFiles files;
    PageCopies copies;
};

TEST_F(PageHostSetup, CalibrationIniReadsAllThreeLists) {
    folder.write(kCalibrationIniFile, "");
    EXPECT_TRUE(load());
    const SharedData d = state.snapshot();
    EXPECT_TRUE(d.settings.calibrationMode);
    EXPECT_EQ(d.currentAddresses, (List{"101", "102"}));
    EXPECT_EQ(d.addressPool, List{"200"});
    EXPECT_EQ(d.usedAddresses, List{"300"});
}

TEST_F(PageHostSetup, WithoutCalibrationIniOnlyThePoolIsRead) {
    EXPECT_FALSE(load());
    const SharedData d = state.snapshot();
    EXPECT_TRUE(d.currentAddresses.empty());
    EXPECT_TRUE(d.usedAddresses.empty());
    EXPECT_EQ(d.addressPool, List{"200"});
}

TEST_F(PageHostSetup, AddressAboveBroadcastSwitchesCalibrationModeOff) {
    folder.write(kCalibrationIniFile, "");
    folder.write(kPoolAddressFile, "Addresses Pool File\r\n65535\r\n");
    EXPECT_TRUE(load());
    folder.write(kUsedAddressFile, "Used Addresses File\r\n 65536\r\n");
    EXPECT_FALSE(load());
    EXPECT_EQ(state.snapshot().usedAddresses, List{" 65536"});  // the entry stays
}

TEST(AddressValue, LeadingDigitsAfterBlanksAndSign) {
    EXPECT_EQ(AddressValue("65535"), 65535);
    EXPECT_EQ(AddressValue("  +12abc"), 12);
    EXPECT_EQ(AddressValue("-70000"), -70000);
    EXPECT_EQ(AddressValue("abc"), 0);
    EXPECT_GT(AddressValue("99999999999999999999999999"), 65535);  // saturates, no overflow
}

TEST_F(PageHostSetup, ExitWithoutCalibrationModeWritesOnlyThePool) {
    load();
    MemorySettingsStore store;
    AppSettings settings(store);
    state.locked([](SharedData& d) { d.addressPool.push_back("201"); });
    copies.tiltRange = 45;
    SaveAtExit(state, copies, settings, files);
    EXPECT_EQ(folder.read(kPoolAddressFile), "Addresses Pool File\r\n200\r\n201\r\n");
    EXPECT_EQ(folder.read(kCurrentAddressFile), "Current Addresses File\r\n101\r\n102\r\n");
    EXPECT_EQ(folder.read(kUsedAddressFile), "Used Addresses File\r\n300\r\n");
    EXPECT_EQ(settings.values().tiltRange, 45);
}

TEST_F(PageHostSetup, ExitInCalibrationModeWritesAllThreeButCreatesNone) {
    folder.write(kCalibrationIniFile, "");
    load();
    std::filesystem::remove(folder.file(kUsedAddressFile));
    state.locked([](SharedData& d) {
        d.usedAddresses = d.currentAddresses;
        d.currentAddresses.clear();
    });
    MemorySettingsStore store;
    AppSettings settings(store);
    SaveAtExit(state, copies, settings, files);
    EXPECT_EQ(folder.read(kCurrentAddressFile), "Current Addresses File\r\n");
    EXPECT_FALSE(folder.exists(kUsedAddressFile));
}

// The Settings page between the files read at start and those written at exit.
TEST_F(PageHostSetup, SettingsPageShowsSixOfEightCurrentAddressesAndWritesAllEight) {
    folder.write(kCalibrationIniFile, "");
    folder.write(kCurrentAddressFile, "Current Addresses File\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"
                                      "7\r\n8\r\n");
    ASSERT_TRUE(load());
    SettingsPageModel page = settingsPage();
    EXPECT_EQ(page.view().set, (List{"1", "2", "3", "4", "5", "6"}));
    page.selectPoolEntry(0);
    EXPECT_EQ(page.takeFromPool().note->text, kSixItemsText);
    exitAfter(page);
    EXPECT_EQ(folder.read(kCurrentAddressFile),
              "Current Addresses File\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n");
    EXPECT_EQ(folder.read(kPoolAddressFile), "Addresses Pool File\r\n200\r\n");
}

TEST_F(PageHostSetup, UsedThenExitLeavesTheHeaderAndArchivesTheAddresses) {
    folder.write(kCalibrationIniFile, "");
    ASSERT_TRUE(load());
    SettingsPageModel page = settingsPage();
    page.moveCurrentToUsed();
    exitAfter(page);
    EXPECT_EQ(folder.read(kCurrentAddressFile), "Current Addresses File\r\n");
    EXPECT_EQ(folder.read(kUsedAddressFile), "Used Addresses File\r\n300\r\n101\r\n102\r\n");
}

TEST_F(PageHostSetup, ATypedAddressAbove65535NeverReachesThePoolFile) {
    folder.write(kCalibrationIniFile, "");
    ASSERT_TRUE(load());
    SettingsPageModel page = settingsPage();
    page.setEntryText(EntryBox::PoolEntry, "70000");
    EXPECT_EQ(page.addToPool().note->text, kAddressRangeText);
    exitAfter(page);
    EXPECT_EQ(folder.read(kPoolAddressFile), "Addresses Pool File\r\n200\r\n");
    EXPECT_TRUE(load());  // calibration mode stays on at the next start
}

TEST(DemoFolder, PreparesAMissingFolderForCalibration) {
    TempFolder root;
    TempFolder prompts;
    prompts.write("CalPrompts.csv", "p");
    prompts.write("CalPrompts10.csv", "q");
    prompts.write("notes.txt", "n");
    const std::string demo = root.file("demo/");
    ASSERT_TRUE(PrepareDemoFolder(demo, {{"101", "102", "103"}, {"110", "111"}, prompts.path()}));
    EXPECT_TRUE(std::filesystem::exists(demo + "CalPrompts10.csv"));
    EXPECT_FALSE(std::filesystem::exists(demo + "notes.txt"));

    NoDevice device;
    SerialPort port(device);
    SharedState state(port);
    AppFiles files;
    files.workingFolder = demo;
    EXPECT_TRUE(LoadAddressLists(files, state));
    EXPECT_EQ(state.snapshot().currentAddresses, (List{"101", "102", "103"}));
    EXPECT_EQ(state.snapshot().addressPool, (List{"110", "111"}));

    // A folder with anything in it is the user's: left alone.
    std::filesystem::remove(demo + kCalibrationIniFile);
    ASSERT_TRUE(PrepareDemoFolder(demo, {{"1"}, {}, prompts.path()}));
    EXPECT_FALSE(std::filesystem::exists(demo + kCalibrationIniFile));
}

}  // namespace
}  // namespace clinora
