#include "app/cal_test_page_model.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "walk_model_rig.h"

namespace clinora {
namespace {

using testing::RowTestTarget;
using testing::WalkModelRig;

class TestModel : public ::testing::Test {
protected:
    CalTestPageModel& model() {
        if (!model_) {
            model_ = std::make_unique<CalTestPageModel>(
                WalkEnvironment{rig.state, rig.copies, rig.files, rig.session, rig.services, {}});
        }
        return *model_;
    }
    // Six reading events at the prompted row's test target, a tick, Accept.
    void acceptRow() {
        const double v = RowTestTarget(model().walk().cursor());
        rig.readAll(model(), v, v);
        rig.readAll(model(), v, v);
        model().tick();
        ASSERT_TRUE(model().view().enabled.accept);
        model().accept();
        model().runPendingWrite();
    }
    size_t testFiles() const {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(rig.folder.path()))
            n += e.path().filename().string().find("_CAL_DATA_AXIS_A_TEST_") != std::string::npos;
        return n;
    }

    WalkModelRig rig;
    std::unique_ptr<CalTestPageModel> model_;
};

TEST_F(TestModel, TheUnsavedCalibrationQuestionComesOncePerVisit) {
    const std::string question =
        "Calibration data was not saved to file\n.Do you want to run calibration test?";
    model().activate();
    EXPECT_EQ(rig.services.requests.back().monitorUnits, 2);  // calibrated values

    rig.services.answers = {false};
    acceptRow();  // No: nothing stored, the row stays
    EXPECT_EQ(model().walk().cursor(), 21);
    EXPECT_EQ(rig.session.devices[0].labels.size(), 1u);

    rig.services.answers = {true};
    acceptRow();
    acceptRow();
    acceptRow();
    EXPECT_EQ(model().walk().cursor(), 18);
    EXPECT_EQ(rig.services.texts("question"), (std::vector<std::string>{question, question}));

    // Leaving and coming back asks again; a calibration Write in between does not.
    model().deactivate();
    model().activate();
    rig.services.answers = {true};
    acceptRow();
    EXPECT_EQ(rig.services.texts("question").size(), 3u);
    model().deactivate();
    rig.session.calibrationSavedToFile = true;  // the Cal page wrote its files
    model().activate();
    acceptRow();
    EXPECT_EQ(rig.services.texts("question").size(), 3u);
}

TEST_F(TestModel, AcceptComesAfterSixReadingsWhateverTheAveragingAndExpertSettings) {
    rig.copies.averagingOn = true;
    rig.copies.averageNum = 30;
    rig.copies.expertModeOn = true;
    model().activate();
    for (int i = 0; i < 5; ++i) model().onWorkerEvent(kEventBoardRead, 0);
    model().tick();
    EXPECT_FALSE(model().view().enabled.accept);
    model().onWorkerEvent(kEventBoardRead, 0);
    model().tick();
    EXPECT_TRUE(model().view().enabled.accept);
    EXPECT_EQ(model().view().promptColour, Shade::Green);
    EXPECT_EQ(model().view().target, "0.2100");
}

TEST_F(TestModel, TheTestLimitsAreExclusive) {
    model().activate();
    struct Case {
        double value;
        Shade colour;
    };
    // Row 21: target 0.21, limits 0.19 and 0.23 as the file gives them.
    for (const Case c : {Case{0.21, Shade::White}, Case{0.1901, Shade::White},
                         Case{0.23, Shade::PaleYellow}, Case{0.19, Shade::PaleYellow}}) {
        rig.read(model(), 0, c.value, 0);
        model().tick();
        EXPECT_EQ(model().view().boards[0].colour, c.colour) << c.value;
    }
}

TEST_F(TestModel, BackDoesNothingAtTheFirstAndLastRowsAndKeepsTheReadingCount) {
    rig.session.calibrationSavedToFile = true;
    model().activate();
    model().back();
    EXPECT_EQ(model().walk().cursor(), 21);
    acceptRow();
    model().onWorkerEvent(kEventBoardRead, 0);
    model().back();
    EXPECT_EQ(model().walk().cursor(), 21);
    EXPECT_EQ(model().readingsCounter(), 1);
    for (int r = 0; r < 22; ++r) acceptRow();
    model().back();
    EXPECT_EQ(model().walk().cursor(), 0);
}

TEST_F(TestModel, TheLastAcceptWritesATestFilePerBoardAndSaysItOnce) {
    rig.session.calibrationSavedToFile = true;
    rig.session.devices[1].b[2] = 7.0;  // cleared by the first Accept
    rig.session.devices[1].a[2] = 7.0;  // kept
    model().activate();
    for (int r = 0; r < 22; ++r) acceptRow();
    EXPECT_EQ(testFiles(), 3u);
    EXPECT_EQ(rig.services.texts("timed"),
              std::vector<std::string>{"Cal Test data saved in file."});
    EXPECT_EQ(model().view().boards[2].caption, "103----Cal Test");
    EXPECT_EQ(rig.session.devices[1].b[2], 0.0);
    EXPECT_EQ(rig.session.devices[1].a[2], 7.0);
    EXPECT_NEAR(rig.session.devices[0].aReturnMain[3], RowTestTarget(3), 1e-12);

    // One board chosen: one more file.
    model().selectBoard(1);
    model().writeFiles();
    EXPECT_EQ(testFiles(), 4u);
}

// The test tolerance is small: the figures say how far off a board was.
TEST_F(TestModel, RangeErrorsCarryFiguresToTheToleranceAndAWrittenRunLeavesQuietly) {
    rig.session.calibrationSavedToFile = true;
    rig.copies.rangeErrorCalTest = 0.0001;
    model().activate();
    const double v = RowTestTarget(21);
    for (int round = 0; round < 2; ++round)
        for (int b = 0; b < 3; ++b) rig.read(model(), b, b == 1 ? v + 0.00012 : v, v);
    model().tick();
    model().accept();
    EXPECT_EQ(rig.services.texts("message"),
              std::vector<std::string>{
                  "Range error in board 102: reading 0.21012, expected 0.21000 \u00b1 0.00010"});
    while (!model().collected()) acceptRow();
    EXPECT_EQ(testFiles(), 3u);
    EXPECT_EQ(model().leaveQuestion(), "");
}

}  // namespace
}  // namespace clinora
