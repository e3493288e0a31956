// The Calibration Setup and Calibration File dialogs driven through their
// widgets, shown without a modal loop.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "cal_dialog_rig.h"
#include "gui/check_group_box.h"
#include "gui/spin_edit.h"
#include "pages/cal_setup_dialog.h"
#include "pages/file_browse_dialog.h"

namespace clinora {
namespace {

using testing::CalDialogRig;

constexpr const char* kDiagnosticQuestion =
    "This is for testing only.\r\nDo not use for production calibrations.\r\n"
    "Do you want to set testing mode?";

void SaveScreenshot(QWidget& widget, const char* name) {
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    widget.grab().save(QString(CLINORA_ARTIFACT_DIR "/") + name);
}

void Type(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

TEST(CalSetupDialog, OpensFromTheCopiesValidatesAndStores) {
    CalDialogRig rig;
    PageCopies& c = rig.copies;
    c.averagingOn = false;
    c.averageNum = 5;
    c.noiseBarOn = true;
    c.playSound = false;
    c.soundFileIndex = 1;
    c.calDisplayDecimalNum = 7;
    c.rangeCheckEnable = false;
    c.appendData = true;
    c.expertModeOn = false;
    rig.state.locked([](SharedData& d) { d.settings.setTypeToAll = true; });
    CCalSetupDlg dlg(rig.context);
    ASSERT_EQ(dlg.windowTitle(), "Calibration Setup");
    dlg.setContinuousRead(true);
    dlg.setTolerances(0.5, 0.0001);
    auto find = [&](const char* name) {
        auto* w = dlg.findChild<QWidget*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    };
    auto check = [&](const char* name) { return static_cast<QCheckBox*>(find(name)); };
    auto* averaging = static_cast<CheckGroupBox*>(find("AveragingGroup"));
    auto* average = static_cast<SpinEdit*>(find("AverageNumber"));
    auto* rangeCheck = static_cast<CheckGroupBox*>(find("RangeCheckGroup"));
    auto* cal = static_cast<QLineEdit*>(find("CalTolerance"));
    auto* calTest = static_cast<QLineEdit*>(find("CalTestTolerance"));
    auto* sound = static_cast<QComboBox*>(find("SoundFile"));
    auto* digits = static_cast<QComboBox*>(find("DigitCount"));
    auto* ok = static_cast<QPushButton*>(find("OK"));

    // Opening: every control from its setting; Digit # "1" for 7 decimals.
    dlg.show();
    EXPECT_FALSE(averaging->getCheck());
    EXPECT_FALSE(average->edit()->isEnabled());
    EXPECT_EQ(average->text(), "5");
    EXPECT_TRUE(check("Bar")->isChecked());
    EXPECT_FALSE(check("PlaySound")->isChecked());
    EXPECT_EQ(sound->currentText(), "VoicBeep");
    EXPECT_EQ(digits->currentText(), "1");
    EXPECT_FALSE(rangeCheck->getCheck());
    EXPECT_FALSE(cal->isEnabled());
    EXPECT_EQ(cal->text(), "0.5");
    EXPECT_EQ(calTest->text(), "0.0001");
    EXPECT_TRUE(check("AppendData")->isChecked());
    EXPECT_TRUE(check("ContinuousRead")->isChecked());
    EXPECT_TRUE(check("SetTypeToAll")->isChecked());
    EXPECT_FALSE(check("DiagnosticMode")->isChecked());
    SaveScreenshot(dlg, "cal-setup-dialog.png");

    // The Averaging click is stored at once and outlives Cancel; nothing else does.
    averaging->checkBox()->click();
    EXPECT_TRUE(c.averagingOn);
    EXPECT_TRUE(average->edit()->isEnabled());
    check("Bar")->click();
    static_cast<QPushButton*>(find("Cancel"))->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(c.averagingOn);
    EXPECT_TRUE(c.noiseBarOn);

    // Each opening shows the settings again.
    dlg.show();
    EXPECT_TRUE(averaging->getCheck());
    EXPECT_TRUE(check("Bar")->isChecked());

    // Diagnostic Mode asks only when checked; No clears it again.
    QCheckBox* diagnostic = check("DiagnosticMode");
    rig.notifier.answers = {false, true};
    diagnostic->click();
    EXPECT_FALSE(diagnostic->isChecked());
    diagnostic->click();
    EXPECT_TRUE(diagnostic->isChecked());
    diagnostic->click();
    EXPECT_FALSE(diagnostic->isChecked());
    EXPECT_EQ(rig.notifier.texts(), (QStringList{kDiagnosticQuestion, kDiagnosticQuestion}));
    rig.notifier.shown.clear();

    // The arrows stop at 2 and 30; typing allows 0..30.
    Type(average->edit(), "3");
    average->downButton()->click();
    average->downButton()->click();
    EXPECT_EQ(average->text(), "2");
    Type(average->edit(), "30");
    average->upButton()->click();
    EXPECT_EQ(average->text(), "30");

    // OK with a refused entry: the message, the dialog stays open, nothing stored.
    check("PlaySound")->click();
    rangeCheck->checkBox()->click();
    ASSERT_TRUE(cal->isEnabled());
    struct Refusal {
        const char *average, *cal, *calTest, *message;
    };
    const Refusal refusals[] = {
        {"31", "0.25", "0.002", "Please enter an integer between 0 and 30."},
        {"1", "0.25", "abc", "Please enter a number."},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(std::string(r.average) + " | " + r.cal + " | " + r.calTest);
        Type(average->edit(), r.average);
        Type(cal, r.cal);
        Type(calTest, r.calTest);
        rig.notifier.shown.clear();
        ok->click();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(rig.notifier.texts(), QStringList{r.message});
        EXPECT_EQ(c.averageNum, 5);
        EXPECT_FALSE(c.playSound);
        EXPECT_EQ(dlg.calTolerance(), 0.5);
    }

    // Typed 1 is accepted: everything is stored and the page reads the rest back.
    Type(average->edit(), "1");
    Type(calTest, " 0.002 ");
    digits->setCurrentIndex(3);
    sound->setCurrentIndex(0);
    check("ContinuousRead")->click();
    check("SetTypeToAll")->click();
    check("AppendData")->click();
    ok->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(c.averageNum, 1);
    EXPECT_TRUE(c.averagingOn);
    EXPECT_TRUE(c.playSound);
    EXPECT_EQ(c.soundFileIndex, 0);
    EXPECT_EQ(c.calDisplayDecimalNum, 3);
    EXPECT_FALSE(c.expertModeOn);
    EXPECT_FALSE(c.appendData);
    EXPECT_TRUE(c.rangeCheckEnable);
    EXPECT_FALSE(dlg.continuousRead());
    EXPECT_FALSE(rig.state.snapshot().settings.setTypeToAll);
    EXPECT_EQ(dlg.calTolerance(), 0.25);
    EXPECT_EQ(dlg.calTestTolerance(), 0.002);

    // The compact resources give both selectors 12 pt Arial.
    rig.context.resourceInUse = true;
    CCalSetupDlg compact(rig.context);
    for (const char* name : {"SoundFile", "DigitCount"}) {
        const QFont font = compact.findChild<QComboBox*>(name)->font();
        EXPECT_EQ(font.family(), "Arial") << name;
        EXPECT_EQ(font.pointSize(), 12) << name;
    }
}

// Who and where, for the records and certificates: shown from the copies,
// stored trimmed on OK; a country that is not two letters is refused.
TEST(CalSetupDialog, OperatorStationAndLaboratoryAreStoredForTheRecords) {
    CalDialogRig rig;
    PageCopies& c = rig.copies;
    c.operatorName = "A. Técnico";
    c.laboratoryAddress = "Hall 3\nCalibration bay";
    CCalSetupDlg dlg(rig.context);
    dlg.setTolerances(0.5, 0.0001);
    dlg.show();
    const auto edit = [&](const char* name) { return dlg.findChild<QLineEdit*>(name); };
    auto* address = dlg.findChild<QPlainTextEdit*>("LaboratoryAddress");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(edit("Operator")->text(), "A. Técnico");
    EXPECT_EQ(address->toPlainText(), "Hall 3\nCalibration bay");
    EXPECT_FALSE(edit("Station")->placeholderText().isEmpty());  // the host name
    Type(edit("Station"), "  Bench 2 ");
    edit("Laboratory")->setText("Lab <&> \"Ñandú\"");  // typed keys are ASCII only
    edit("LaboratoryCity")->setText("Köln");
    Type(edit("LaboratoryEmail"), "lab@example.org");
    address->setPlainText("Hall 4\nBay 2\n");
    auto* ok = dlg.findChild<QPushButton*>("OK");
    struct Case {
        const char* country;
        bool accepted;
        const char* stored;
    };
    for (const Case& k : {Case{"D", false, ""}, Case{"de", true, "DE"}}) {
        Type(edit("LaboratoryCountry"), k.country);
        rig.notifier.shown.clear();
        ok->click();
        EXPECT_EQ(dlg.isVisible(), !k.accepted) << k.country;
        EXPECT_EQ(rig.notifier.texts().isEmpty(), k.accepted) << k.country;
        EXPECT_EQ(c.laboratoryCountry, k.stored) << k.country;
    }
    EXPECT_EQ(c.stationName, "Bench 2");
    EXPECT_EQ(c.laboratory, "Lab <&> \"Ñandú\"");
    EXPECT_EQ(c.laboratoryAddress, "Hall 4\nBay 2");
    EXPECT_EQ(c.laboratoryCity, "Köln");
    EXPECT_EQ(c.laboratoryEmail, "lab@example.org");
    EXPECT_EQ(c.operatorName, "A. Técnico");
}

// Files as calibrations leave them: boards 12, 123 and 45 on both axes, test
// files, the address files, the reading log and a sub-folder.
const char* const kFolderFiles[] = {
    "00012_CAL_DATA_AXIS_A_05-14-24.csv",
    "00012_CAL_DATA_AXIS_B_05-14-24.csv",
    "00012_CAL_DATA_AXIS_A_TEST_05-14-24.csv",
    "00123_CAL_DATA_AXIS_A_05-14-24.csv",
    "00123_CAL_DATA_AXIS_B_TEST_05-14-24.csv",
    "00045_CAL_DATA_AXIS_B_05-14-24.csv",
    "CurrentAddresses.csv",
    "ZOV_Orvano_LOG.csv",
};

TEST(FileBrowseDialog, ListsFiltersAndReturnsTheChoice) {
    CalDialogRig rig({"12", "123", "45"});
    for (const char* name : kFolderFiles) rig.write(name);
    std::filesystem::create_directory(rig.files.path("archive"));
    rig.copies.filterFiles = true;
    rig.copies.biaxialFile = false;
    CFileBrowseDlg dlg(rig.context);
    ASSERT_EQ(dlg.windowTitle(), "Calibration File");
    auto* list = dlg.findChild<QListWidget*>("FileList");
    auto* board = dlg.findChild<QComboBox*>("BoardAddress");
    auto* filter = dlg.findChild<QCheckBox*>("FilterFiles");
    auto* biaxial = dlg.findChild<QCheckBox*>("BiaxialFile");
    auto listed = [&] {
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        return names;
    };
    dlg.show();
    EXPECT_EQ(board->count(), 3);
    EXPECT_EQ(board->currentText(), "12");
    EXPECT_TRUE(
        dlg.findChild<QLabel*>("FolderText")->text().startsWith("Select file from list\n(  /"));
    SaveScreenshot(dlg, "file-browse-dialog.png");

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList names;
        bool biaxialEnabled = true;
    };
    const Step steps[] = {
        {"opening: axis A of 12, board 123's and the test files too",
         [] {},
         {"00012_CAL_DATA_AXIS_A_05-14-24", "00012_CAL_DATA_AXIS_A_TEST_05-14-24",
          "00123_CAL_DATA_AXIS_A_05-14-24"}},
        {"board 123", [&] { board->setCurrentIndex(1); }, {"00123_CAL_DATA_AXIS_A_05-14-24"}},
        {"biaxial: both axes, the test files included",
         [&] {
             biaxial->click();
             EXPECT_TRUE(rig.copies.biaxialFile);  // stored at once
         },
         {"00123_CAL_DATA_AXIS_A_05-14-24", "00123_CAL_DATA_AXIS_B_TEST_05-14-24"}},
        {"no filter: every file by name without its extension, no folder; a board change "
         "lists the same",
         [&] {
             filter->click();
             board->setCurrentIndex(2);
         },
         {"00012_CAL_DATA_AXIS_A_05-14-24", "00012_CAL_DATA_AXIS_A_TEST_05-14-24",
          "00012_CAL_DATA_AXIS_B_05-14-24", "00045_CAL_DATA_AXIS_B_05-14-24",
          "00123_CAL_DATA_AXIS_A_05-14-24", "00123_CAL_DATA_AXIS_B_TEST_05-14-24",
          "CurrentAddresses", "ZOV_Orvano_LOG"},
         false},
        {"axis B of 45 without biaxial",
         [&] {
             rig.state.locked([](SharedData& d) { d.settings.axisSelector = 0; });
             filter->click();
             biaxial->click();
         },
         {"00045_CAL_DATA_AXIS_B_05-14-24"}},
        {"an empty folder leaves the list as it was",
         [&] {
             dlg.setFolder(rig.files.path("archive/"));
             board->setCurrentIndex(0);
         },
         {"00045_CAL_DATA_AXIS_B_05-14-24"}},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(listed(), s.names) << s.what;
        EXPECT_EQ(list->currentRow(), 0) << s.what;
        EXPECT_EQ(biaxial->isEnabled(), s.biaxialEnabled) << s.what;
    }
    // Filter and Biaxial clicks were stored as they happened.
    EXPECT_TRUE(rig.copies.filterFiles);
    EXPECT_FALSE(rig.copies.biaxialFile);

    dlg.setFolder(rig.files.workingFolder);
    filter->click();
    list->setCurrentRow(6);
    dlg.findChild<QPushButton*>("ReadFileIn")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.chosenName(), "CurrentAddresses");
    EXPECT_EQ(dlg.chosenListIndex(), 6);
    EXPECT_EQ(dlg.chosenBoardIndex(), 0);
    EXPECT_FALSE(rig.copies.filterFiles);

    // Nothing to choose: an empty name, no row and no board.
    CalDialogRig empty;
    CFileBrowseDlg none(empty.context);
    none.show();
    EXPECT_EQ(none.findChild<QComboBox*>("BoardAddress")->currentIndex(), -1);
    none.accept();
    EXPECT_EQ(none.chosenName(), "");
    EXPECT_EQ(none.chosenListIndex(), -1);
    EXPECT_EQ(none.chosenBoardIndex(), -1);
}

}  // namespace
}  // namespace clinora
