#include "app/cal_page_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "calib/cal_data_file.h"
#include "walk_model_rig.h"

namespace clinora {
namespace {

using testing::RowTarget;
using testing::WalkModelRig;

class CalModel : public ::testing::Test {
protected:
    explicit CalModel(std::vector<std::string> addresses = {"101", "102", "103"}, int rows = 22)
        : rig(std::move(addresses), rows) {}

    CalPageModel& model() {
        if (!model_) {
            model_ = std::make_unique<CalPageModel>(WalkEnvironment{
                rig.state, rig.copies, rig.files, rig.session, rig.services, [] { return 1000; }});
        }
        return *model_;
    }
    // Readings at the prompted row's target until Accept is enabled, then Accept.
    void acceptRow(double offset = 0.0) {
        const double v = RowTarget(model().walk().cursor()) + offset;
        for (int i = 0; i < 200 && !model().view().enabled.accept; ++i) {
            rig.readAll(model(), v, v);
            model().tick();
        }
        ASSERT_TRUE(model().view().enabled.accept);
        model().accept();
        model().runPendingWrite();
        model().runPendingFollowUp();
    }
    void collect(int rows = 22) {
        for (int r = 0; r < rows; ++r) acceptRow();
    }
    const DeviceRecord& device(int i) const { return rig.session.devices[i]; }

    WalkModelRig rig;
    std::unique_ptr<CalPageModel> model_;
};

TEST_F(CalModel, PromptRowCountsThatTheWalkCannotTakeGoThePromptFileErrorWay) {
    struct Case {
        int rows;
        bool usable;
    };
    for (const Case c : {Case{13, false}, Case{14, true}, Case{15, false}, Case{22, true},
                         Case{24, false}, Case{0, false}}) {
        rig.folder.write("prompts.csv", testing::PromptFile(c.rows));
        rig.services.shown.clear();
        rig.services.requests.clear();
        CalPageModel m({rig.state, rig.copies, rig.files, rig.session, rig.services, {}});
        m.activate();
        const WalkView& v = m.view();
        EXPECT_EQ(v.enabled.a, c.usable) << c.rows;
        EXPECT_EQ(v.enabled.init, c.usable) << c.rows;
        EXPECT_EQ(rig.services.texts("timed").size(), c.usable ? 0u : 1u) << c.rows;
        // The boards are initialised whatever the prompt file says.
        EXPECT_EQ(rig.services.codes(), std::vector<uint32_t>{kInitRequest}) << c.rows;
        if (c.usable) {
            EXPECT_EQ(m.walk().positionsPerSweep(), c.rows / 2);
            EXPECT_EQ(v.prompt, "A Axis\r\nrow " + std::to_string(c.rows - 1));
        } else {
            EXPECT_EQ(v.prompt, "- - - -");
            EXPECT_EQ(rig.services.texts("timed")[0], "Prompt file read error.");
        }
    }
}

TEST_F(CalModel, BothSweepsFillTheirSlotsInTurnAndBackStoresTheRowAgain) {
    model().activate();
    std::vector<int> slots;
    for (int row = 21; row >= 11; --row) {
        acceptRow(row * 1e-4);  // a value that tells the rows apart
        slots.push_back(model().walk().slot());
    }
    EXPECT_EQ(slots,
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10}));  // row 11 leaves k at 10
    for (int k = 0; k <= 10; ++k) {
        EXPECT_NEAR(device(0).aFirstMain[k], RowTarget(21 - k) + (21 - k) * 1e-4, 1e-12) << k;
        EXPECT_EQ(device(0).aFirstCompanion[k], 0.0);
    }
    acceptRow(0.005);  // row 10 into return slot 10
    EXPECT_NEAR(device(1).aReturnMain[10], RowTarget(10) + 0.005, 1e-12);
    model().back();
    EXPECT_EQ(model().walk().cursor(), 10);
    acceptRow(0.007);
    EXPECT_NEAR(device(1).aReturnMain[10], RowTarget(10) + 0.007, 1e-12);
    for (int row = 9; row >= 0; --row) acceptRow();
    for (int k = 0; k <= 9; ++k) EXPECT_NEAR(device(2).aReturnMain[k], RowTarget(k), 1e-12) << k;
    // One label per accepted row behind the heading, whatever Back did.
    EXPECT_EQ(device(0).labels.size(), 23u);
    EXPECT_EQ(device(0).labels[12], "A Axis,row 10");
}

TEST_F(CalModel, BackIsRefusedAtTheFirstAndTheLastRow) {
    model().activate();
    model().back();
    EXPECT_EQ(model().walk().cursor(), 21);
    collect();
    EXPECT_EQ(model().walk().cursor(), 0);
    model().back();
    EXPECT_EQ(model().walk().cursor(), 0);
}

TEST_F(CalModel, ARangeErrorNamesEveryBoardOutsideWithFiguresAndKeepsTheRow) {
    model().activate();
    acceptRow();
    const double v = RowTarget(20);
    rig.copies.rangeErrorCal = 0.5;
    const auto readAt = [&](double board2, double board3) {
        for (int i = 0; i < 6; ++i)
            rig.read(model(), i % 3, i % 3 == 0 ? v + 0.1 : i % 3 == 1 ? board2 : board3, v);
        model().tick();
    };
    readAt(v + 1.0, v);  // the second board is off by a volt
    model().accept();
    EXPECT_EQ(rig.services.texts("message"),
              std::vector<std::string>{
                  "Range error in board 102: reading 4.0000, expected 3.0000 \u00b1 0.5000"});
    EXPECT_EQ(model().walk().cursor(), 20);
    EXPECT_NEAR(device(0).aFirstMain[1], v + 0.1, 1e-12);  // the board before keeps its value
    EXPECT_EQ(device(0).labels.size(), 2u);
    EXPECT_FALSE(model().view().enabled.accept);

    // Both boards outside, on either side: both named, in slot order.
    rig.services.shown.clear();
    readAt(v + 0.6, v - 0.75);
    model().accept();
    EXPECT_EQ(rig.services.texts("message"),
              std::vector<std::string>{
                  "Range error in board 102: reading 3.6000, expected 3.0000 \u00b1 0.5000\n"
                  "Range error in board 103: reading 2.2500, expected 3.0000 \u00b1 0.5000"});
    EXPECT_EQ(model().walk().cursor(), 20);

    // With the check off nothing is refused.
    rig.copies.rangeCheckEnable = false;
    acceptRow(3.0);
    EXPECT_EQ(model().walk().cursor(), 19);
    EXPECT_EQ(device(1).labels.size(), 3u);
}

// The position line follows the walk; leaving asks whenever work would be
// lost, and only then.
TEST_F(CalModel, PositionLineAndLeaveQuestionFollowTheRun) {
    const std::string none, first = ", first sweep", back = ", return sweep";
    const auto unsaved = [](int n) {
        return std::to_string(n) +
               " accepted positions are not yet written to files; leaving discards them. Leave?";
    };
    const std::string one =
        "1 accepted position is not yet written to a file; leaving discards it. Leave?";
    const auto accept = [this](int rows) {
        return [this, rows] {
            for (int r = 0; r < rows; ++r) acceptRow();
        };
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::string position, question;
    };
    const Step steps[] = {
        {"activated", [&] { model().activate(); }, "Position 1 of 11" + first, none},
        {"one accepted", accept(1), "Position 2 of 11" + first, one},
        {"two accepted", accept(1), "Position 3 of 11" + first, unsaved(2)},
        {"back", [&] { model().back(); }, "Position 2 of 11" + first, one},
        {"first sweep done", accept(10), "Position 1 of 11" + back, unsaved(11)},
        {"collected, written, sent",
         [&] {
             rig.services.answers = {true};
             accept(11)();
         },
         "All positions accepted",
         "Constants are being written to the boards; leaving stops the write. Leave?"},
        {"written",
         [&] {
             rig.services.answers = {true};
             model().onWorkerEvent(kEventUploadsDone, 103);
         },
         "All positions accepted",
         "The boards are being verified; leaving stops the verify. Leave?"},
        {"verified", [&] { model().onWorkerEvent(kEventVerifiesDone, 103); },
         "All positions accepted", none},
        {"activated again", [&] { model().activate(); }, "Position 1 of 11" + first, none},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(model().view().position, step.position) << step.what;
        EXPECT_EQ(model().leaveQuestion(), step.question) << step.what;
    }
}

TEST_F(CalModel, AcceptComesAfterEnoughReadingsForEachMode) {
    struct Case {
        bool averaging, expert;
        int averageNum;
        int events;  // reading events before the tick that enables Accept
    };
    for (const Case c :
         {Case{false, false, 5, 6}, Case{false, true, 5, 0}, Case{true, false, 10, 51},
          Case{true, false, 0, 6}, Case{true, false, 99, 301}}) {
        rig.copies.averagingOn = c.averaging;
        rig.copies.expertModeOn = c.expert;
        rig.copies.averageNum = c.averageNum;
        CalPageModel m({rig.state, rig.copies, rig.files, rig.session, rig.services, {}});
        m.activate();
        for (int i = 0; i < c.events - 1; ++i) m.onWorkerEvent(kEventBoardRead, 0);
        m.tick();
        EXPECT_EQ(m.view().enabled.accept, c.events == 0) << c.events;
        if (c.events == 0) continue;
        m.onWorkerEvent(kEventBoardRead, 0);
        m.tick();
        EXPECT_TRUE(m.view().enabled.accept) << c.events;
        EXPECT_EQ(m.view().promptColour, c.averaging ? Shade::LightRed : Shade::Green);
    }
}

// Each board reading counts once, however many 200 ms ticks pass before the
// next one: the readouts and Accept give the mean of the last ten readings.
TEST_F(CalModel, RunningMeansAreOfTheLastReadingsEachCountedOnce) {
    rig.copies.averagingOn = true;
    rig.copies.averageNum = 10;
    rig.copies.noiseBarOn = true;
    rig.copies.rangeCheckEnable = false;
    model().activate();
    // Reading k of board b: 3k + b plus an eighth now and then (sums stay exact).
    const auto value = [](int k, int b) { return 3.0 * k + b + (k % 3) * 0.125; };
    const auto mean = [&](int last, int b) {
        double sum = 0;
        const int first = std::max(0, last - 9);
        for (int k = first; k <= last; ++k) sum += value(k, b);
        return sum / (last - first + 1);
    };
    int k = -1;
    for (int ms = 0; ms < 25 * 600; ms += 200) {
        if (ms % 600 == 0) {
            ++k;
            for (int b = 0; b < 3; ++b) rig.read(model(), b, value(k, b), -value(k, b));
        }
        model().tick();
        for (int b = 0; b < 3; ++b)
            ASSERT_EQ(model().view().boards[b].readout, FormatFixed(mean(k, b), 4)) << ms;
    }
    // The newest reading less the one ten back, over ten: (72 - 42.25) / 10.
    EXPECT_EQ(model().view().noiseBarPosition, 2);
    ASSERT_TRUE(model().view().enabled.accept);
    model().accept();
    for (int b = 0; b < 3; ++b) EXPECT_EQ(device(b).aFirstMain[0], mean(k, b)) << b;
}

TEST_F(CalModel, ReadoutsAreColouredByTheRowLimitsUntilABoardFails) {
    model().activate();
    const double t = RowTarget(21);
    rig.read(model(), 0, t, 0);
    rig.read(model(), 1, t + 0.02, 0);  // on the limit: outside
    rig.read(model(), 2, t - 0.5, 0);
    model().tick();
    EXPECT_EQ(model().view().boards[0].colour, Shade::White);
    EXPECT_EQ(model().view().boards[1].colour, Shade::PaleYellow);
    EXPECT_EQ(model().view().boards[2].meaning, "out of range");
    model().onWorkerEvent(kEventBoardReadFailed, 2);
    model().tick();
    EXPECT_EQ(model().view().boards[2].colour, Shade::LightRed);
    rig.read(model(), 0, t, 0);
    model().tick();
    EXPECT_EQ(model().view().boards[2].colour, Shade::PaleYellow);
}

TEST_F(CalModel, TheLastAcceptCollectsWritesOneFilePerBoardAndSendsOnYes) {
    rig.services.answers = {true, false};  // send: yes; verify: no
    model().activate();
    collect();
    EXPECT_EQ(model().view().message, "File write success");
    EXPECT_TRUE(model().view().enabled.send);
    EXPECT_EQ(model().view().boards[0].caption, "101----Cal");
    EXPECT_EQ(device(2).addressNumber, 103);
    EXPECT_EQ(device(2).calibrationTime, 1000);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(rig.folder.path()))
        files += e.path().filename().string().find("_CAL_DATA_AXIS_A_") != std::string::npos;
    EXPECT_EQ(files, 3u);
    EXPECT_TRUE(rig.session.calibrationSavedToFile);
    ASSERT_EQ(rig.services.codes().back(), kWriteCalibrationRequest);
    const WorkerRequest& sent = rig.services.requests.back();
    EXPECT_EQ(sent.writeTarget, 3);
    EXPECT_EQ(sent.boardCount, 3);
    EXPECT_NE((*sent.devices)[0].a[1], 0.0);  // fitted constants go with the request
    EXPECT_TRUE(model().view().busy || model().uploadInProgress());

    // Once collected Accept stays off whatever arrives.
    for (int i = 0; i < 20; ++i) rig.readAll(model(), 1, 1), model().tick();
    EXPECT_FALSE(model().view().enabled.accept);
    EXPECT_EQ(model().view().message, "File write success");  // reading messages stay off
}

TEST_F(CalModel, WriteAndVerifyEventsSayWhatHappenedToWhichBoard) {
    model().activate();
    struct Case {
        int code, detail, workerIndex;
        std::string message;
    };
    const Case cases[] = {
        {kEventBoardWritten, kEventBoardWritten, 0, "Starting Writing cal"},
        {kEventUploadStarting, 101, 0, "Writing board # 101..."},
        {kEventBoardWritten, 101, 1, "Written cal # 101"},
        {kEventBoardWritten, 102, 2, "Written cal # 102"},
        {kEventBoardWritten, 103, 3, "Written cal # 103"},
        {kEventUploadFailed, 3, 1, "3 errors writing # 102"},
        {kEventUploadFailed, kEventUploadFailed, 2, "Error writing # 103"},
        {kEventWriteProbe, kEventWriteProbe, 0, "Connecting to write cal"},
        {kEventBiaxialProbe, kEventBiaxialProbe, 0, "Connecting to write cal biaxial"},
        {kEventBoardVerified, kEventBoardVerified, 0, "Verify started..."},
        {kEventBoardVerified, 102, 2, "Verified board # 102"},
        {kEventVerifyStarting, 103, 2, "Verifying board # 103"},
        {kEventVerifyFailed, 1, 0, "1 errors verifying # 101"},
        {kEventVerifyFailed, kEventVerifyFailed, 0, "Error verifying # 101"},
        {kEventVerifiesDone, 103, 3, "Success verifying"},
        {kEventBoardInitialised, 1, 0, "Initializing 2"},
    };
    for (const Case& c : cases) {
        rig.setWorkerBoard(c.workerIndex);
        model().onWorkerEvent(c.code, c.detail);
        EXPECT_EQ(model().view().message, c.message) << c.code << "/" << c.detail;
    }
    for (DeviceRecord& d : rig.session.devices) d.status = "----Cal";
    rig.services.answers = {true};
    model().onWorkerEvent(kEventUploadsDone, 103);
    EXPECT_EQ(model().view().message, "Success writing");
    EXPECT_TRUE(model().view().enabled.verify);
    EXPECT_EQ(rig.services.codes().back(), kVerifyCalibrationRequest);
    EXPECT_TRUE(model().verifyInProgress());
    EXPECT_TRUE(model().view().busy);
    // The lamp goes out with the verdict, not a tick later.
    model().onWorkerEvent(kEventVerifiesDone, 103);
    EXPECT_FALSE(model().view().busy);

    // A cell changed besides the constants: said at once (in a box unless it
    // was put back), and the write ends in no plain success.
    model().send();
    rig.state.locked([](SharedData& d) {
        d.worker.strayReports = {{"102", 0x02, 1, StrayKind::Restored},
                                 {"102", 0xA2, 1, StrayKind::Written}};
    });
    rig.services.shown.clear();
    model().onWorkerEvent(kEventStrayWrite, 0);
    EXPECT_EQ(model().view().message, StrayWriteText({"102", 0x02, 1, StrayKind::Restored}));
    model().onWorkerEvent(kEventStrayWrite, 1);
    EXPECT_EQ(rig.services.texts("message"),
              std::vector<std::string>{StrayWriteText({"102", 0xA2, 1, StrayKind::Written})});
    model().onWorkerEvent(kEventUploadsDone, 103);
    EXPECT_EQ(model().view().message, "Written, but another cell was changed (see the message)");
}

// The progress of writing all boards follows the worker's board index and
// step counter; a counter left from an earlier board or transfer never shows.
TEST_F(CalModel, WriteProgressFollowsTheWorkersCountersBoardByBoard) {
    rig.services.answers = {true, false};  // send: yes; verify: no
    model().activate();
    collect();
    ASSERT_TRUE(model().uploadInProgress());
    struct Step {
        const char* what;
        int event;  // 0: a tick
        int index, step, steps;
        WalkView::Progress shown;
    };
    const Step steps[] = {
        {"submitted", -1, 0, 0, 0, {true, 0, 3, 0, 1}},
        {"an earlier transfer's counter", 0, 0, 7, 8, {true, 0, 3, 0, 1}},
        {"board 1 starts", kEventUploadStarting, 0, 0, 18, {true, 0, 3, 0, 18}},
        {"board 1 half way", 0, 0, 9, 18, {true, 0, 3, 9, 18}},
        {"board 1 done, counter still its", 0, 1, 18, 18, {true, 1, 3, 0, 18}},
        {"board 2 starts", kEventUploadStarting, 1, 0, 18, {true, 1, 3, 0, 18}},
        {"board 2 step 4", 0, 1, 4, 18, {true, 1, 3, 4, 18}},
        {"all written", kEventUploadsDone, 3, 18, 18, {true, 3, 3, 18, 18}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        rig.state.locked([&](SharedData& d) {
            d.worker.writeTarget = d.worker.boardCount = 3;  // as the worker takes the request
            d.worker.currentBoardIndex = s.index;
            d.worker.transferStep = s.step;
            d.worker.transferSteps = s.steps;
        });
        if (s.event > 0) model().onWorkerEvent(s.event, 101);
        if (s.event == 0) model().tick();
        const WalkView::Progress& p = model().view().progress;
        EXPECT_EQ(p.visible, s.shown.visible);
        EXPECT_EQ(p.boardsDone, s.shown.boardsDone);
        EXPECT_EQ(p.boards, s.shown.boards);
        EXPECT_EQ(p.step, s.shown.step);
        EXPECT_EQ(p.steps, s.shown.steps);
    }
}

TEST_F(CalModel, TransfersWithoutDataAreRefusedAndLeaveNothingInProgress) {
    struct Case {
        const char* name;
        std::function<void(CalPageModel&, CalSession&, PageCopies&)> arrange;
        std::function<void(CalPageModel&)> act;
        std::string refusal;
    };
    const std::string some = "Calibration data missing\nfor some boards.\nCannot upload.";
    const std::string one = "Calibration data missing\nfor this board.\nCannot upload.";
    const Case cases[] = {
        {"send all, third board empty",
         [](CalPageModel&, CalSession& s, PageCopies&) {
             s.devices[0].status = s.devices[1].status = s.devices[3].status = "----File";
         },
         [](CalPageModel& m) { m.send(); }, some},
        {"upload with All",
         [](CalPageModel&, CalSession& s, PageCopies&) { s.devices[0].status = "----File"; },
         [](CalPageModel& m) { m.upload(); }, one},
        {"biaxial upload without B",
         [](CalPageModel& m, CalSession& s, PageCopies& c) {
             s.devices[1].status = "----File";
             s.devices[1].b = {0, 1, 0, 0, 0, 1};
             c.biaxialFile = true;
             m.selectBoard(1);
         },
         [](CalPageModel& m) { m.upload(); },
         "Biaxial board enabled and \nB Axis Calibration data missing\nfor this board.\nCannot "
         "upload."},
        {"verify one empty board",
         [](CalPageModel& m, CalSession&, PageCopies&) { m.selectBoard(2); },
         [](CalPageModel& m) { m.verify(); }, one},
        // A file whose axis A constants are all zero would wipe the board's.
        {"upload of an all-zero axis",
         [](CalPageModel& m, CalSession& s, PageCopies&) {
             s.devices[1].status = "----File";
             m.selectBoard(1);
         },
         [](CalPageModel& m) { m.upload(); }, one},
    };
    for (const Case& c : cases) {
        WalkModelRig r({"101", "102", "103", "104"});
        CalPageModel m({r.state, r.copies, r.files, r.session, r.services, {}});
        m.activate();
        r.services.requests.clear();
        c.arrange(m, r.session, r.copies);
        c.act(m);
        m.tick();
        EXPECT_EQ(r.services.texts("timed"), std::vector<std::string>{c.refusal}) << c.name;
        EXPECT_TRUE(r.services.requests.empty()) << c.name;
        EXPECT_FALSE(m.view().busy) << c.name;
    }
    // One B coefficient set: the biaxial write goes out.
    WalkModelRig r({"101", "102"});
    CalPageModel m({r.state, r.copies, r.files, r.session, r.services, {}});
    m.activate();
    r.session.devices[1].status = "----File";
    r.session.devices[1].a = {0, 1, 0, 0, 0, 0};
    r.session.devices[1].b = {0, 1, 0, 0.5, 0, 0};
    r.copies.biaxialFile = true;
    m.selectBoard(1);
    m.upload();
    EXPECT_EQ(r.services.codes().back(), kBiaxialWriteRequest);
    EXPECT_EQ(r.services.requests.back().writeTarget, 1);
    m.tick();
    EXPECT_TRUE(m.view().busy);
}

TEST_F(CalModel, AWriteWhoseFileFailsStopsThereAndOffersNoSend) {
    rig.services.answers = {true};
    rig.copies.appendData = true;  // the name is used as it is
    model().activate();
    for (int r = 0; r < 21; ++r) acceptRow();
    // The second board's file cannot be made: a folder stands at its name.
    calib::CalDataFile names;
    DeviceRecord probe;
    probe.addressNumber = 102;
    const std::string taken = names.MakeFileName(probe, calib::kPrefixAxisA, false);
    std::filesystem::create_directory(rig.folder.file(taken));
    acceptRow();
    EXPECT_EQ(model().view().message, "Failed writing file 1");
    EXPECT_TRUE(rig.services.texts("question").empty());
    EXPECT_EQ(rig.services.codes().back(), kInitRequest);
    // Not every file holds the run: leaving still asks.
    EXPECT_EQ(model().leaveQuestion(),
              "22 accepted positions are not yet written to files; leaving discards them. Leave?");
}

TEST_F(CalModel, AFitThatFailsIsSaidAndKeepsTheReadingsForAnotherWrite) {
    model().activate();
    for (int r = 0; r < 21; ++r) acceptRow();
    // A reading of board 101 that is no number: nothing to fit.
    rig.session.devices[0].aFirstMain[3] = std::nan("");
    acceptRow();
    EXPECT_EQ(rig.services.texts("message"),
              std::vector<std::string>{"Fit failed for board 101: a reading is not a number"});
    EXPECT_EQ(model().view().message, "Fit failed for board 101");
    EXPECT_TRUE(rig.services.texts("question").empty());  // nothing offered to send
    EXPECT_TRUE(std::isnan(device(0).aFirstMain[3]));
    EXPECT_EQ(device(0).a[1], 0.0);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(rig.folder.path()))
        files += e.path().filename().string().find("00101_CAL_DATA") != std::string::npos;
    EXPECT_EQ(files, 0u);
}

TEST_F(CalModel, NegateTakesEffectForTheNextFitAtOnce) {
    model().activate();
    collect();
    const double plain = device(0).a[1];
    model().setNegate(true, true);
    EXPECT_TRUE(rig.copies.negateA);
    model().selectBoard(0);
    model().send();
    EXPECT_DOUBLE_EQ(device(0).a[1], -plain);
}

TEST_F(CalModel, ReadTakesAFilesConstantsOnlyWhenTheyAreWholeAndSendable) {
    rig.services.answers = {false};
    model().activate();
    collect();
    const std::string written = [&] {
        for (const auto& e : std::filesystem::directory_iterator(rig.folder.path())) {
            const std::string name = e.path().stem().string();
            if (name.rfind("00102_CAL_DATA", 0) == 0) return name;
        }
        return std::string();
    }();
    ASSERT_FALSE(written.empty());
    const std::string full = rig.folder.read(written + ".csv");
    rig.folder.write("cut.csv", full.substr(0, full.find("A2")));
    std::string huge = full;
    huge.replace(huge.find(",", huge.find("A1,")) + 1, 1, "9e99");
    rig.folder.write("huge.csv", huge);
    rig.session.devices[1].status = " ";
    struct Case {
        std::string name;
        int board;
        std::string message, status;
    };
    for (const Case& c :
         {Case{"cut", 1, "File read error", " "}, Case{"huge", 1, "File read error", " "},
          Case{written, 7, "File read error", " "},
          Case{written, 1, "File read for board # 2", "----Cal"}}) {
        model().readStarted();
        model().readChosen(true, c.name, c.board);
        EXPECT_EQ(model().view().message, c.message) << c.name;
        EXPECT_EQ(device(1).status, c.status) << c.name;
    }
    EXPECT_TRUE(model().view().enabled.upload);
    EXPECT_EQ(model().view().boards[1].caption, "102----File");
}

class CalModelSevenBoards : public CalModel {
protected:
    CalModelSevenBoards() : CalModel({"101", "102", "103", "104", "105", "106", "107"}) {}
};

TEST_F(CalModelSevenBoards, ThePageWorksWithTheFirstSixAddresses) {
    model().activate();
    EXPECT_EQ(model().view().comboEntries,
              (std::vector<std::string>{"101", "102", "103", "104", "105", "106", "All"}));
    EXPECT_EQ(rig.services.requests.front().boardCount, 6);
    EXPECT_EQ(rig.services.requests.front().record.boardList.size(), 6u);
    model().selectBoard(7);  // beyond the combo: ignored
    EXPECT_TRUE(model().allSelected());
}

class CalModelFiveBoards : public CalModel {
protected:
    CalModelFiveBoards() : CalModel({"101", "102", "103", "104", "105"}) {}
};

TEST_F(CalModelFiveBoards, FiveAddressesCaptionFiveBoxes) {
    model().activate();
    EXPECT_EQ(model().view().boards[4].caption, "105 ");
    EXPECT_EQ(model().view().boards[5].caption, "X");
    EXPECT_EQ(model().view().comboEntries.size(), 6u);
    EXPECT_EQ(model().view().message, "Starting...");
}

}  // namespace
}  // namespace clinora
