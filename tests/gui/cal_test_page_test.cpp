// The calibration test through the Test page, after a calibration through
// the Cal page and on boards that were never calibrated.
#include <gtest/gtest.h>

#include <QDir>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cal_rig.h"
#include "calib/prompt_file.h"
#include "link/number_text.h"

namespace clinora {
namespace {

using testing::CalRig;

// The largest distance of a swing from the true value in the axis A face of
// a calibration test file's report, and whether every swing lay inside the
// test limits of its prompt row.
double LargestFaceDeviation(const std::string& path, const std::vector<calib::PromptRow>& rows,
                            bool& withinLimits) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && line.rfind("Face,A", 0) != 0) {
    }
    std::getline(in, line);  // the two heading lines
    std::getline(in, line);
    double largest = 0;
    int faceRows = 0;
    while (std::getline(in, line) && line.rfind("Cross Axis", 0) != 0) {
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
        if (cells.size() < 8) continue;
        const double truth = ParseLeadingDouble(cells[6], NAN);
        // The row of the prompt file whose test target is this value.
        const calib::PromptRow* row = nullptr;
        for (const calib::PromptRow& r : rows)
            if (std::abs(r.aTestTarget - truth) < 1e-5) row = &r;
        for (int swing : {3, 4}) {
            const double value = ParseLeadingDouble(cells[swing], NAN);
            largest = std::max(largest, std::abs(value - truth));
            withinLimits = withinLimits && row && row->aTestLow < value && value < row->aTestHigh;
        }
        ++faceRows;
    }
    EXPECT_EQ(faceRows, 7) << path;
    return largest;
}

std::vector<std::string> TestFiles(const CalRig& rig) {
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::directory_iterator(rig.dir.path().toStdString()))
        if (e.path().filename().string().find("_CAL_DATA_AXIS_A_TEST_") != std::string::npos)
            paths.push_back(e.path().string());
    return paths;
}

TEST(TestPage, ACalibrationOfThreeBoardsPassesItsTest) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());

    rig.sheet->selectPage(CalRig::kTest);
    // The page's init request asks for calibrated readings (taken once the
    // worker has taken the Cal page's stop).
    EXPECT_TRUE(rig.run([&] { return rig.shared().settings.monitorUnits == 2; }, 10000));
    rig.copies.rangeErrorCalTest = 0.003;  // the operator's tolerance, as the test limits
    rig.notifier.shown.clear();
    rig.walkAllPositions([&] {
        QDir().mkpath(CLINORA_ARTIFACT_DIR);
        rig.sheet->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/test-mid-run.png");
    });
    rig.runFor(1000);
    // Written on the Cal page just before: no question about unsaved data.
    EXPECT_EQ(rig.notifier.texts(), QStringList{"Cal Test data saved in file."});

    std::vector<calib::PromptRow> rows;
    calib::ReadPromptFile(rig.dir.path().toStdString() + "/CalPrompts.csv", rows);
    const std::vector<std::string> files = TestFiles(rig);
    ASSERT_EQ(files.size(), 3u);
    double largest = 0;
    bool within = true;
    for (const std::string& path : files)
        largest = std::max(largest, LargestFaceDeviation(path, rows, within));
    EXPECT_TRUE(within);
    std::printf("largest deviation in the test reports: %.6f (sine)\n", largest);
}

TEST(TestPage, BoardsThatWereNeverCalibratedShowPaleYellowReadouts) {
    CalRig rig(CalRig::Boards::Uncalibrated);
    ASSERT_TRUE(rig.start());
    rig.sheet->selectPage(CalRig::kTest);
    rig.copies.rangeCheckEnable = false;  // walk on whatever the boards read
    rig.notifier.answers = {true};
    SheetPage* page = rig.sheet->page(CalRig::kTest);
    auto* accept = page->findChild<QPushButton*>("Accept");
    int yellowByBoard[3] = {0, 0, 0}, yellow = 0;
    for (int r = 0; r < rig.session.promptRows; ++r) {
        rig.bus.setTilt(0, rig.promptedAngle());
        rig.runFor(6000);
        ASSERT_TRUE(rig.run([&] { return accept->isEnabled(); }));
        for (int b = 1; b <= 3; ++b) {
            auto* readout = page->findChild<ColourBox*>(QString("BoardReadout%1").arg(b));
            const bool out = readout->state() == "out of range";
            yellow += out;
            yellowByBoard[b - 1] += out;
        }
        accept->click();
    }
    // Reading 0 everywhere, each board is inside the limits only at the two
    // level positions.
    for (int b = 0; b < 3; ++b)
        EXPECT_EQ(yellowByBoard[b], rig.session.promptRows - 2) << "board " << b + 1;
    std::printf("pale yellow readouts of never calibrated boards: %d of %d\n", yellow,
                3 * rig.session.promptRows);
}

}  // namespace
}  // namespace clinora
