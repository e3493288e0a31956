// The Settings page against the worker and simulated boards on virtual time:
// the real widgets are clicked, the worker's passes run between them.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "gui/colour_box.h"
#include "link/worker_codes.h"
#include "page_rig.h"

namespace clinora {
namespace {

using testing::PageRig;
using List = std::vector<std::string>;

class SettingsPage : public ::testing::Test {
protected:
    // Boards 101, 102 and 103 on the bus and in the calibration set.
    void open(List current = {"101", "102", "103"}, bool setTypeToAll = false) {
        rig = std::make_unique<PageRig>(PageRig::Options{
            true, false, 1, {"101", "102", "103"}, true});
        rig->state.locked([&](SharedData& d) {
            d.currentAddresses = current;
            d.addressPool = {"104", "105"};
            d.settings.setTypeToAll = setTypeToAll;
        });
        rig->start();
        ASSERT_TRUE(rig->run([&] { return rig->shared().worker.state == kStateSingleReading; }));
        rig->sheet->selectPage(PageRig::kSettings);
        rig->run([&] { return !rig->shared().worker.requestPending; });  // the Monitor's stop
        // A second later the boards are told to stop triggering.
        QTimer* wait = timer("ActivationWait");
        ASSERT_TRUE(wait->isActive() && wait->isSingleShot());
        EXPECT_EQ(wait->interval(), CPageSettings::kWaitMs);
        fire(wait);
        EXPECT_EQ(rig->shared().worker.requestCode, kTriggerOffRequest);
        ASSERT_TRUE(rig->run([&] { return rig->shared().worker.state == kStateHeartbeat; }));
    }

    template <class W>
    W* find(const char* name) const {
        W* widget = rig->find<W>(name);
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    QTimer* timer(const char* name) const { return rig->settingsPage->findChild<QTimer*>(name); }
    // Ends a wait at once instead of waiting for real.
    static void fire(QTimer* timer) {
        ASSERT_TRUE(timer->isActive());
        timer->stop();
        QMetaObject::invokeMethod(timer, "timeout");
    }
    void click(const char* name) { find<QPushButton>(name)->click(); }
    // Types on the keypad into an entry box, after clearing it.
    void type(const char* box, const std::string& digits) {
        find<QLineEdit>(box)->setFocus();
        click("KeyClear");
        for (char d : digits) click(("Key" + std::string(1, d)).c_str());
    }
    bool runUntil(const std::function<bool()>& done) { return rig->run(done, 120000); }
    QString description(const char* name) { return find<QWidget>(name)->accessibleDescription(); }
    QString text(const char* name) { return find<QPushButton>(name)->text(); }
    std::vector<int> cells(size_t board, std::initializer_list<int> addresses) const {
        return rig->bus.inspectBoard(board, [&](const sim::SimBoard& b) {
            std::vector<int> out;
            for (int a : addresses) out.push_back(b.memory().get(static_cast<uint8_t>(a)));
            return out;
        });
    }
    std::vector<int> busAddresses() const { return rig->bus.status().addresses; }

    std::unique_ptr<PageRig> rig;
};

TEST_F(SettingsPage, AFreshBoardGetsAnAddressFromThePoolAndAnswersThere) {
    open();
    ASSERT_TRUE(rig->bus.addFreshBoard());
    find<QListWidget>("UnusedPool")->setCurrentRow(0);
    click("TakeFromPool");
    EXPECT_EQ(rig->shared().currentAddresses, (List{"101", "102", "103", "104"}));
    EXPECT_EQ(rig->shared().addressPool, List{"105"});
    find<QListWidget>("CalibrationSet")->setCurrentRow(3);
    EXPECT_EQ(find<QLineEdit>("InitAddress")->text(), "104");
    find<QComboBox>("TypeSelector")->setCurrentIndex(3);
    EXPECT_EQ(find<QLabel>("TypeText")->text(), "ET");

    click("InitGo");
    EXPECT_EQ(rig->shared().request.targetAddress, "65534");
    ASSERT_TRUE(runUntil([&] { return !description("InitAddress").isEmpty(); }));
    EXPECT_EQ(description("InitAddress"), "Address given.");
    EXPECT_EQ(find<QLineEdit>("InitAddress")->palette().color(QPalette::Base), colours::kGreen);
    EXPECT_EQ(busAddresses(), (std::vector<int>{101, 102, 103, 104}));
    EXPECT_EQ(cells(3, {1, 2}), (std::vector<int>{'E', 'T'}));

    // The board answers at its new address.
    click("SensorRead");
    ASSERT_TRUE(runUntil([&] { return text("SensorRead") != "?"; }));
    EXPECT_EQ(text("SensorRead"), "<-");
    EXPECT_EQ(rig->shared().request.targetAddress, "104");
}

TEST_F(SettingsPage, ABoardMovesToAnotherAddressAndBack) {
    open();
    for (const auto& [from, to] : {std::pair{"101", "110"}, {"110", "101"}}) {
        type("OldAddress", from);
        type("NewAddress", to);
        EXPECT_EQ(find<QLineEdit>("OldAddress")->text(), from);
        click("ChangeGo");
        ASSERT_TRUE(runUntil([&] { return !description("NewAddress").isEmpty(); })) << to;
        EXPECT_EQ(description("NewAddress"), "Address given.");
        EXPECT_EQ(busAddresses()[0], std::stoi(to));
    }
    // A new address that is no whole number up to 65534 never reaches the bus.
    type("NewAddress", "65535");
    rig->bus.clearReceivedLines();
    click("ChangeGo");
    EXPECT_EQ(rig->notifier.shown.back().text, kBroadcastRefusedText);
    EXPECT_FALSE(rig->shared().worker.requestPending);
    find<QLineEdit>("NewAddress")->setText("9x");  // typed on a keyboard
    find<QLineEdit>("NewAddress")->textEdited("9x");
    click("ChangeGo");
    EXPECT_EQ(rig->notifier.shown.back().text, kAddressRangeText);
    rig->runFor(3000);
    EXPECT_EQ(busAddresses(), (std::vector<int>{101, 102, 103}));
}

TEST_F(SettingsPage, SettingsWrittenToTheWholeSetReadBackEqual) {
    open({"101", "102", "103"}, true);
    EXPECT_EQ(find<QGroupBox>("TypeGroup")->title(), "Type (Set to All)");
    find<QComboBox>("Sensor1")->setCurrentIndex(4);  // "30": code 2
    find<QComboBox>("Sensor2")->setCurrentIndex(5);  // "45": code 3
    find<QComboBox>("Therm")->setCurrentIndex(2);    // "TH": code 8
    click("SensorWrite");  // no board selected: every board of the set
    EXPECT_EQ(rig->shared().worker.boardCount, 3);
    ASSERT_TRUE(runUntil([&] { return text("SensorWrite") == "OK"; }));

    // Axis flags are written only once they have been read.
    click("AxisWrite");
    EXPECT_EQ(rig->notifier.shown.back().text, kReadAxisFirstText);
    find<QListWidget>("CalibrationSet")->setCurrentRow(0);
    click("AxisRead");
    ASSERT_TRUE(runUntil([&] { return text("AxisRead") == "<-"; }));
    EXPECT_TRUE(find<QCheckBox>("SwapAB")->isVisible());
    EXPECT_FALSE(find<QLabel>("AxisHint")->isVisible());
    find<QCheckBox>("SwapAB")->setChecked(true);
    find<QCheckBox>("NegA")->setChecked(false);
    find<QCheckBox>("NegB")->setChecked(true);
    click("AxisWrite");
    EXPECT_FALSE(find<QCheckBox>("SwapAB")->isEnabled());
    ASSERT_TRUE(runUntil([&] { return text("AxisWrite") == "OK"; }));
    EXPECT_TRUE(find<QCheckBox>("SwapAB")->isEnabled());
    for (size_t board = 0; board < 3; ++board)
        EXPECT_EQ(cells(board, {0x41, 0x42, 0x43, 0x49, 0x4A, 0x4B}),
                  (std::vector<int>{2, 3, 8, 1, 0, 1}))
            << board;

    // Read back from the last board: the selectors show what was written.
    for (QComboBox* box : {find<QComboBox>("Sensor1"), find<QComboBox>("Sensor2")})
        box->setCurrentIndex(0);
    find<QListWidget>("CalibrationSet")->setCurrentRow(2);
    click("SensorRead");
    ASSERT_TRUE(runUntil([&] { return text("SensorRead") == "<-"; }));
    EXPECT_EQ(find<QComboBox>("Sensor1")->currentText(), "30");
    EXPECT_EQ(find<QComboBox>("Sensor2")->currentText(), "45");
    EXPECT_EQ(find<QComboBox>("Therm")->currentText(), "TH");

    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    EXPECT_TRUE(rig->sheet->grab().save(CLINORA_ARTIFACT_DIR "/settings-page.png"));
}

TEST_F(SettingsPage, OptionsMenuResetsEveryBoardSetsTheAdapterAndArchives) {
    open();
    click("Options");
    rig->notifier.answers = {true};
    find<QAction>("AddressesResetAll")->trigger();
    EXPECT_EQ(rig->notifier.shown.back().text, kResetAllQuestion);
    ASSERT_TRUE(runUntil([&] { return !description("InitAddress").isEmpty(); }));
    EXPECT_EQ(description("NewAddress"), "Every board told to go back to 65534.");
    EXPECT_EQ(busAddresses(), (std::vector<int>{65534, 65534, 65534}));

    // "Adapter" > "Set": "MODE 0" a second later, without an address.
    rig->runFor(2000);
    rig->bus.clearReceivedLines();
    find<QAction>("AdapterSet")->trigger();
    QTimer* wait = timer("AdapterWait");
    EXPECT_EQ(wait->interval(), CPageSettings::kWaitMs);
    fire(wait);
    EXPECT_EQ(rig->shared().worker.requestCode, kModeZeroRequest);
    ASSERT_TRUE(runUntil([&] {
        for (const auto& line : rig->bus.receivedLines())
            if (line.text == "MODE 0") return true;
        return false;
    }));
    EXPECT_EQ(rig->bus.inspectBoard(0, [](const sim::SimBoard& b) { return b.mode(); }), 0);

    // "Addresses" > "Used": No keeps the set, Yes archives it.
    find<QAction>("AddressesUsed")->trigger();
    EXPECT_EQ(rig->shared().currentAddresses.size(), 3u);
    rig->notifier.answers = {true};
    find<QAction>("AddressesUsed")->trigger();
    EXPECT_EQ(rig->notifier.shown.back().text, kMoveToUsedQuestion);
    EXPECT_TRUE(rig->shared().currentAddresses.empty());
    EXPECT_EQ(rig->shared().usedAddresses, (List{"101", "102", "103"}));
    EXPECT_EQ(find<QListWidget>("CalibrationSet")->count(), 0);
}

TEST_F(SettingsPage, ABoardThatDoesNotAnswerMakesTheStatusBoxFlashItsAddress) {
    open({"101", "109"});
    find<QListWidget>("CalibrationSet")->setCurrentRow(1);
    click("SensorRead");
    auto* status = find<ColourBox>("StatusBox");
    ASSERT_TRUE(runUntil([&] { return !status->text().isEmpty(); }));
    EXPECT_EQ(status->text(), "109");
    EXPECT_EQ(status->accessibleDescription(), "no answer from 109");
    EXPECT_EQ(status->background(), colours::kWhite);
    QTimer* flash = timer("Flash");
    EXPECT_EQ(flash->interval(), CPageSettings::kFlashMs);
    fire(flash);
    EXPECT_EQ(status->background(), colours::kRed);
    EXPECT_EQ(status->textColour(), colours::kWhite);
    fire(flash);
    EXPECT_EQ(status->background(), colours::kWhite);
    EXPECT_EQ(status->textColour(), colours::kRed);

    // The next request empties it and stops the flashing.
    find<QListWidget>("CalibrationSet")->setCurrentRow(0);
    click("SensorRead");
    EXPECT_TRUE(status->text().isEmpty());
    EXPECT_FALSE(flash->isActive());
    EXPECT_TRUE(status->accessibleDescription().isEmpty());
}

TEST_F(SettingsPage, LeavingStoresTheTiltRangeAndTheType) {
    open();
    find<QComboBox>("TiltRange")->setCurrentIndex(0);  // "--"
    find<QComboBox>("TypeSelector")->setCurrentIndex(4);
    rig->copies.promptFileName = "CalPrompts90.csv";
    rig->sheet->selectPage(PageRig::kMonitor);
    EXPECT_EQ(rig->copies.tiltRange, 15);
    EXPECT_EQ(rig->copies.promptFileName, "CalPrompts.csv");
    EXPECT_EQ(rig->settings.values().useTags, 4);
    EXPECT_FALSE(timer("ActivationWait")->isActive());
}

}  // namespace
}  // namespace clinora
