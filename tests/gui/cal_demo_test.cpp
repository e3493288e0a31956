// The Cal page in the simulated demo as a new user meets it: the worker on
// its thread in real time, the fixture panel tilting the three boards.
#include <gtest/gtest.h>

#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/cal_page_model.h"
#include "cal_rig.h"
#include "calib/nominal_angles.h"
#include "demo_app.h"
#include "gui/chart_widget.h"
#include "gui/colour_box.h"
#include "gui/fixture_panel.h"
#include "gui/main_frame.h"
#include "gui/property_sheet.h"
#include "gui_test_support.h"
#include "pages/page_cal.h"
#include "pages/residual_window.h"

namespace clinora {
namespace {

using testing::WaitFor;

TEST(CalDemo, TheFirstPositionIsAcceptedWithTheFixturePanel) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CMainFrame* frame = demo.app.frame();
    CCePropertySheet* sheet = frame->pageHost()->sheet();
    auto* fixture = frame->findChild<FixturePanel*>();
    ASSERT_TRUE(WaitFor([&] { return frame->sharedState().snapshot().worker.state == 28; }, 15000));

    auto* cal = frame->findChild<CPageCal*>();
    ASSERT_TRUE(cal);
    int calIndex = -1;
    for (int i = 0; i < sheet->pageCount(); ++i)
        if (sheet->page(i) == cal) calIndex = i;
    // The user-interface thread must never stall: a 10 ms heartbeat.
    // The worker runs on its own thread here, so waiting on it would show only
    // in wall time: the wall gap is the measure.
    testing::UiHeartbeat heartbeat;
    sheet->selectPage(calIndex);

    auto* accept = cal->findChild<QPushButton*>("Accept");
    auto* prompt = cal->findChild<ColourBox*>("Prompt");
    EXPECT_EQ(prompt->text(), "A Axis\n+15 deg");
    fixture->tiltA()->setValue(calib::NominalAngles(15).degrees[0]);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitFor([&] { return accept->isEnabled(); }, 30000));
    std::printf("Accept enabled %lld ms after the Cal page opened\n",
                static_cast<long long>(clock.elapsed()));
    for (int b = 1; b <= 3; ++b) {
        auto* readout = cal->findChild<ColourBox*>(QString("BoardReadout%1").arg(b));
        EXPECT_EQ(readout->state(), "in range") << b << " " << readout->text().toStdString();
    }
    accept->click();
    EXPECT_EQ(prompt->text(), "A Axis\n+10 deg");
    EXPECT_EQ(cal->model()->walk().slot(), 1);
    QTest::qWait(500);
    heartbeat.stop();
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    frame->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/cal-demo.png");
    std::printf("longest gap of the user-interface thread: %lld ms\n",
                static_cast<long long>(heartbeat.longestWallMs()));
    EXPECT_LT(heartbeat.longestWallMs(), 50);
    EXPECT_TRUE(demo.notifier.shown.empty());
}

// A newcomer's whole sequence on the simulated demo with every setting at its
// default: calibrate the three boards, send and verify the constants, then
// test them. No range error may stop a position set as the prompt says.
TEST(CalDemo, DefaultSettingsCalibrateAndTestTheDemoBoards) {
    testing::CalRig rig(testing::CalRig::Boards::Demo);
    ASSERT_TRUE(rig.start());
    rig.notifier.answers = {true, true};  // send the constants, then verify them
    auto* position = rig.find<QLabel>("Position");
    EXPECT_EQ(position->text(), "Position 1 of 7, first sweep");
    rig.walkAllPositions([&] {
        EXPECT_EQ(position->text(), "Position 1 of 7, return sweep");
        testing::SaveArtifact({rig.sheet.get()}, "cal-position.png");
    });
    auto* calMessage = rig.sheet->page(testing::CalRig::kCal)->findChild<ColourBox*>("Message");
    ASSERT_TRUE(rig.run([&] { return calMessage->text() == "Success verifying"; }, 900000))
        << calMessage->text().toStdString();

    // The residual window came up beside the sheet, not over its message line.
    ResidualWindow* residuals = rig.cal->residualWindow();
    ASSERT_TRUE(residuals->isVisible());
    EXPECT_FALSE(residuals->frameGeometry().intersects(rig.sheet->frameGeometry()));
    EXPECT_EQ(residuals->boardCount(), 3);
    for (int b = 1; b < 3; ++b) {
        EXPECT_EQ(residuals->chart(b)->valueAxisLow(), residuals->chart(0)->valueAxisLow());
        EXPECT_EQ(residuals->chart(b)->valueAxisHigh(), residuals->chart(0)->valueAxisHigh());
    }
    testing::SaveArtifact({rig.sheet.get(), residuals}, "residuals-beside.png");
    residuals->closeButton()->click();
    EXPECT_FALSE(residuals->isVisible());

    rig.sheet->selectPage(testing::CalRig::kTest);
    rig.notifier.shown.clear();
    rig.walkAllPositions();
    rig.runFor(1000);
    EXPECT_EQ(rig.notifier.texts(), QStringList{"Cal Test data saved in file."});
    int testFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(rig.files.workingFolder))
        testFiles += e.path().filename().string().find("_TEST_") != std::string::npos;
    EXPECT_EQ(testFiles, 3);
}

}  // namespace
}  // namespace clinora
