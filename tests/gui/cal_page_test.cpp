// A whole calibration of three simulated boards through the Cal page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <functional>
#include <set>

#include "app/cal_page_model.h"
#include "app/settings_transfer.h"
#include "cal_rig.h"
#include "cli_bus.h"
#include "cli_commands.h"
#include "cli_options.h"
#include "gui_test_support.h"
#include "calib/prompt_file.h"
#include "gui/chart_widget.h"
#include "gui/colour_box.h"
#include "link/protocol.h"
#include "link/reading_format.h"
#include "pages/residual_window.h"

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

// The residuals of both sweeps in degrees, worked out from the face rows of
// a calibration data file's axis A block: each sweep's calibrated sine
// against the row's true sine.
std::vector<QPointF> FaceResiduals(const std::filesystem::path& path, bool returnSweep) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line) && line.rfind("Face,A+/-", 0) != 0) {
    }
    std::getline(in, line);
    std::getline(in, line);
    std::vector<QPointF> points;
    const auto degrees = [](double sine) { return std::asin(sine) * 180.0 / kPi; };
    while (std::getline(in, line) && line.rfind("Cross Axis", 0) != 0) {
        const QStringList cells = QString::fromStdString(line).trimmed().split(',');
        if (cells.size() < 8) break;
        const double truth = cells[6].toDouble();
        points.push_back({degrees(truth), degrees(cells[returnSweep ? 4 : 3].toDouble()) -
                                              degrees(truth)});
    }
    return points;
}

std::filesystem::path CalFileOf(const CalRig& rig, const std::string& address) {
    for (const auto& e : std::filesystem::directory_iterator(rig.dir.path().toStdString())) {
        if (e.path().filename().string().rfind("00" + address + "_CAL_DATA_AXIS_A_", 0) == 0)
            return e.path();
    }
    return {};
}

// Answers as the scripted notifier does, noting whether the residual window
// was up when each question was asked.
class WatchingNotifier final : public Notifier {
public:
    WatchingNotifier(ScriptedNotifier& script, std::function<bool()> residualsShown)
        : script_(script), shown_(std::move(residualsShown)) {}
    void message(const QString& text) override { script_.message(text); }
    void error(const QString& text) override { script_.error(text); }
    bool question(const QString& text) override {
        residualsUpAtQuestion.push_back(shown_());
        return script_.question(text);
    }
    void timedMessage(int seconds, const QString& text) override {
        script_.timedMessage(seconds, text);
    }
    std::vector<bool> residualsUpAtQuestion;

private:
    ScriptedNotifier& script_;
    std::function<bool()> shown_;
};

TEST(CalPage, CalibratesThreeSimulatedBoardsSendsAndVerifies) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    auto* message = rig.sheet->page(CalRig::kCal)->findChild<ColourBox*>("Message");
    auto* progress = rig.sheet->page(CalRig::kCal)->findChild<QProgressBar*>("TransferProgress");
    ResidualWindow* residuals = rig.cal->residualWindow();
    WatchingNotifier watching(rig.notifier, [&] { return residuals->isVisible(); });
    rig.context.notifier = &watching;
    std::set<QString> seen, progressSeen;
    rig.watch = [&] {
        seen.insert(message->text());
        if (progress->isVisible()) progressSeen.insert(progress->text());
    };

    // The user-interface thread must never stall: a 10 ms heartbeat. Here the
    // worker's passes run on this thread too, on virtual time, so a stall is
    // work this thread does: its processor time in a gap is the measure, which
    // other load on the machine does not stretch.
    testing::UiHeartbeat heartbeat;

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
        heartbeat.restart();  // the picture is the test's, not the page's
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

    // The residuals come up before the operator is asked to send the constants.
    EXPECT_EQ(watching.residualsUpAtQuestion, (std::vector<bool>{true, true}));
    // Writing and verifying ended with every board done.
    EXPECT_TRUE(progressSeen.count("3 of 3 boards done"));
    EXPECT_EQ(progress->value(), progress->maximum());
    // Each board's plotted residuals are those of its file's face rows.
    ASSERT_EQ(residuals->boardCount(), 3);
    for (int b = 0; b < 3; ++b) {
        const std::string address = std::to_string(101 + b);
        SCOPED_TRACE(address);
        const std::filesystem::path file = CalFileOf(rig, address);
        ASSERT_FALSE(file.empty());
        for (const bool returnSweep : {false, true}) {
            const std::vector<QPointF> expected = FaceResiduals(file, returnSweep);
            const QList<QPointF> plotted = residuals->chart(b)->points(
                returnSweep ? ResidualWindow::kReturnSweep : ResidualWindow::kFirstSweep);
            ASSERT_EQ(plotted.size(), 7);
            ASSERT_EQ(expected.size(), 7u);
            for (int k = 0; k < 7; ++k) {
                EXPECT_NEAR(plotted[k].x(), expected[k].x(), 1e-4);
                EXPECT_NEAR(plotted[k].y(), expected[k].y(), 1e-4);
            }
        }
        EXPECT_TRUE(residuals->summary(b).startsWith(QString::fromStdString(address) +
                                                     ": largest residual "))
            << residuals->summary(b).toStdString();
    }
    residuals->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/cal-residuals.png");

    bool within = false;
    const double deviation = LargestCalibratedDeviation(rig, within);
    EXPECT_TRUE(within);
    std::printf(
        "largest calibrated deviation: %.6f (sine); longest UI gap: %lld ms "
        "(%lld ms of the thread's processor time)\n",
        deviation, static_cast<long long>(heartbeat.longestWallMs()),
        static_cast<long long>(heartbeat.longestCpuMs()));
    EXPECT_LT(heartbeat.longestCpuMs(), 50);
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

// After Send every board holds the single-precision value of its fit, while
// its file prints seven digits: reading the file back and verifying, on the
// page or with the tool, must find the board's own calibration, and a file
// one digit off must not.
TEST(CalPage, SentBoardsVerifyAgainstTheirOwnFilesOnThePageAndWithTheTool) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    auto* message = rig.sheet->page(CalRig::kCal)->findChild<ColourBox*>("Message");
    rig.notifier.answers = {true, false};  // send; no verify yet
    rig.walkAllPositions();
    ASSERT_TRUE(rig.run([&] { return message->text() == "Success writing"; }, 300000))
        << message->text().toStdString();
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(rig.dir.path().toStdString())) {
        if (e.path().filename().string().find("_CAL_DATA_AXIS_A_") != std::string::npos)
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 3u);

    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(files[b]);
        QTimer::singleShot(0, [b] {
            QWidget* browse = QApplication::activeModalWidget();
            browse->findChild<QComboBox*>("BoardAddress")->setCurrentIndex(b);
            browse->findChild<QPushButton*>("ReadFileIn")->click();
        });
        rig.find<QPushButton>("Read")->click();
        ASSERT_EQ(message->text(), QString("File read for board # %1").arg(b + 1));
        rig.runFor(1000);  // the worker takes the stop that Read sent
        rig.find<QComboBox>("Boards")->setCurrentIndex(b);
        rig.find<QPushButton>("Verify")->click();
        ASSERT_TRUE(rig.run(
            [&] {
                return message->text() == "Success verifying" ||
                       message->text().startsWith("Error verifying");
            },
            300000))
            << message->text().toStdString();
        EXPECT_EQ(message->text().toStdString(), "Success verifying");
    }

    // The tool, on the same boards.
    rig.state.port().Close();
    const auto verify = [&](const std::string& file, const std::string& address) {
        std::ostringstream out, err;
        const cli::ParsedArguments parsed =
            cli::ParseArguments({"verify", file, "--address", address});
        cli::CliBus bus(rig.bus, rig.clock, "simulated-bus");
        cli::CliIo io{out, err, false, {}, {}, {}};
        const int status = cli::RunCommand(parsed.options, bus, io);
        return std::make_pair(status, err.str());
    };
    const char* addresses[] = {"101", "102", "103"};
    for (int b = 0; b < 3; ++b) {
        const auto [status, said] = verify(files[b], addresses[b]);
        EXPECT_EQ(status, cli::kExitOk) << said;
    }
    // A1 of board 101's file five units off in its last printed digit.
    std::string text;
    {
        std::ifstream in(files[0], std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const size_t digit = text.find('e', text.find("\nA1,")) - 1;
    text[digit] = static_cast<char>('0' + (text[digit] - '0' + 5) % 10);
    const std::string changed = rig.dir.path().toStdString() + "/changed.csv";
    std::ofstream(changed, std::ios::binary) << text;
    const auto [status, said] = verify(changed, "101");
    EXPECT_EQ(status, cli::kExitFailure) << said;
    EXPECT_NE(said.find("Error verifying # 101"), std::string::npos) << said;
}

// OK in the Setup dialog, the settings saved and loaded again, ten times over:
// the tolerances come back as they were.
TEST(CalPage, SetupOkSaveAndLoadKeepTheTolerances) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    rig.copies.rangeErrorCal = 0.5;
    rig.copies.rangeErrorCalTest = 0.0001;
    for (int round = 0; round < 10; ++round) {
        QTimer::singleShot(
            0, [] { QApplication::activeModalWidget()->findChild<QPushButton*>("OK")->click(); });
        rig.find<QPushButton>("Setup")->click();
        SettingsValues values = rig.settings.values();
        ExitCopy(rig.shared().settings, rig.copies, values);
        rig.settings.update([&](SettingsValues& v) { v = values; });
        rig.settings.save();
        AppSettings loaded(rig.store);
        SharedData data;
        SeedWorkingCopies(loaded.values(), data, rig.copies);
    }
    EXPECT_EQ(ToMillionths(rig.copies.rangeErrorCal), 500000);
    EXPECT_EQ(ToMillionths(rig.copies.rangeErrorCalTest), 100);
}

}  // namespace
}  // namespace clinora
