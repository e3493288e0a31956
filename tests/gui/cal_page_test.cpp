// A whole calibration of three simulated boards through the Cal page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

#include "app/cal_page_model.h"
#include "cal_rig.h"
#include "calib/prompt_file.h"
#include "gui/colour_box.h"
#include "link/protocol.h"
#include "link/reading_format.h"

namespace clinora {
namespace {

using testing::CalRig;

constexpr double kPi = 3.14159265358979323846;

// Each board read in calibrated units at every angle of the prompt file:
// the largest distance from the angle's sine, and whether all lay inside the
// rows' test limits.
double LargestCalibratedDeviation(CalRig& rig, bool& withinLimits) {
    std::vector<calib::PromptRow> rows;
    calib::ReadPromptFile(rig.dir.path().toStdString() + "/CalPrompts.csv", rows);
    BusProtocol protocol(rig.state, rig.clock);
    EXPECT_TRUE(protocol.SetReadingUnits(2));
    double largest = 0;
    withinLimits = true;
    for (const calib::PromptRow& row : rows) {
        const double degrees = std::asin(row.aTestTarget) * 180.0 / kPi;
        rig.bus.setTilt(0, degrees);
        for (const std::string& address : rig.shared().currentAddresses) {
            EXPECT_TRUE(protocol.Transact(address, "TR", 2000));
            rig.clock.advance(300);
            EXPECT_TRUE(protocol.Transact(address, "SR", 2000));
            const double value = ToDouble(SplitReading(ReplyField(protocol.reply(), 3)).a);
            largest = std::max(largest, std::abs(value - std::sin(degrees * kPi / 180.0)));
            withinLimits = withinLimits && row.aTestLow < value && value < row.aTestHigh;
        }
    }
    return largest;
}

TEST(CalPage, CalibratesThreeSimulatedBoardsSendsAndVerifies) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    auto* message = rig.sheet->page(CalRig::kCal)->findChild<ColourBox*>("Message");
    std::set<QString> seen;
    rig.watch = [&] { seen.insert(message->text()); };

    // The user-interface thread must never stall: a 10 ms heartbeat.
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });
    sinceBeat.start();
    heartbeat.start();

    // Setup's OK starts the boards again with the dialog's options.
    QTimer::singleShot(
        0, [] { QApplication::activeModalWidget()->findChild<QPushButton*>("OK")->click(); });
    rig.find<QPushButton>("Setup")->click();
    EXPECT_EQ(rig.shared().worker.requestCode, kInitRequest);

    rig.notifier.answers = {true, true};  // send to the boards; verify
    ASSERT_EQ(rig.session.promptRows, 14);
    const QString collected = rig.walkAllPositions([&] {
        QDir().mkpath(CLINORA_ARTIFACT_DIR);
        rig.sheet->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/cal-mid-run.png");
        sinceBeat.restart();  // the picture is the test's, not the page's
    });
    EXPECT_EQ(collected, "Cal data collected");
    ASSERT_TRUE(rig.run([&] { return message->text() == "Success verifying"; }, 900000))
        << message->text().toStdString();
    heartbeat.stop();

    EXPECT_TRUE(seen.count("Success writing"));
    EXPECT_EQ(
        rig.notifier.texts(),
        (QStringList{
            "Calibration Data written to file.\nDo you want to send cal data to device?",
            "Calibration Data written to device(s).\nDo you want to verify correct writing?"}));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(rig.dir.path().toStdString()))
        files += e.path().filename().string().find("_CAL_DATA_AXIS_A_") != std::string::npos;
    EXPECT_EQ(files, 3);
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    rig.sheet->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/cal-verified.png");

    bool within = false;
    const double deviation = LargestCalibratedDeviation(rig, within);
    EXPECT_TRUE(within);
    std::printf("largest calibrated deviation: %.6f (sine); longest UI gap: %lld ms\n", deviation,
                static_cast<long long>(longestGap));
    EXPECT_LT(longestGap, 50);
}

TEST(CalPage, ReadsABoardsFileBackAndUploadsItToThatBoard) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    auto* message = rig.sheet->page(CalRig::kCal)->findChild<ColourBox*>("Message");
    rig.notifier.answers = {false};  // files only: nothing sent
    rig.walkAllPositions();
    rig.runFor(1000);
    const DeviceRecord fitted = rig.session.devices[1];

    // Board 102's file, chosen in the file dialog.
    rig.session.devices[1] = DeviceRecord{};
    rig.session.devices[1].status = " ";
    QTimer::singleShot(0, [] {
        QWidget* browse = QApplication::activeModalWidget();
        browse->findChild<QComboBox*>("BoardAddress")->setCurrentIndex(1);
        browse->findChild<QPushButton*>("ReadFileIn")->click();
    });
    rig.find<QPushButton>("Read")->click();
    EXPECT_EQ(message->text(), "File read for board # 2");
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(rig.session.devices[1].a[k], fitted.a[k], 1e-6 * std::abs(fitted.a[k]) + 1e-12);

    rig.runFor(1000);  // the worker takes the stop that Read sent
    auto* boards = rig.find<QComboBox>("Boards");
    boards->setCurrentIndex(1);
    rig.notifier.answers = {false};
    rig.find<QPushButton>("Upload")->click();
    ASSERT_TRUE(rig.run([&] { return message->text() == "Success writing"; }, 300000))
        << message->text().toStdString();
    EXPECT_EQ(rig.shared().worker.writeTarget, 1);
}

}  // namespace
}  // namespace clinora
