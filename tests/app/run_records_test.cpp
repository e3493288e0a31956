// The records the Cal and Test page models leave: a calibration and a test
// record per board, and one per write, verify and read of constants.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/cal_page_model.h"
#include "app/cal_test_page_model.h"
#include "records/digest.h"
#include "walk_model_rig.h"

namespace clinora {
namespace {

using records::Record;
using records::RecordKind;
using testing::RowTarget;
using testing::RowTestTarget;

class KeptRecords final : public RecordKeeper {
public:
    void keep(std::vector<Record> records) override { batches.push_back(std::move(records)); }
    std::vector<Record> all() const {
        std::vector<Record> out;
        for (const auto& batch : batches) out.insert(out.end(), batch.begin(), batch.end());
        return out;
    }
    std::vector<std::vector<Record>> batches;
};

class RunRecords : public ::testing::Test {
protected:
    RunRecords() {
        rig.copies.operatorName = "O'Brien; \"lab\"";
        rig.copies.stationName = "Bench 2";
        // Boards 101 and 103 told their identity; 102 did not answer.
        rig.state.locked([](SharedData& d) {
            d.readings.boardInfo[0] = {"101", "ZC-000101", 1.5f, 2.0f};
            d.readings.boardInfo[1] = {"102", std::nullopt, std::nullopt, std::nullopt};
            d.readings.boardInfo[2] = {"103", "ZC-000103", 1.5f, std::nullopt};
        });
    }
    WalkEnvironment environment() {
        return {rig.state,    rig.copies, rig.files, rig.session,
                rig.services, {},         &kept};
    }
    template <class Model>
    void initialise(Model& model) {
        model.activate();
        for (int slot = 0; slot < 3; ++slot) model.onWorkerEvent(kEventBoardInitialised, slot);
    }
    // Every row accepted at its target (the other axis reads 0.5).
    template <class Model>
    void walk(Model& model, double (*target)(int)) {
        while (!model.collected()) {
            const double v = target(model.walk().cursor());
            for (int i = 0; i < 200 && !model.view().enabled.accept; ++i) {
                rig.readAll(model, v, 0.5);
                model.tick();
            }
            ASSERT_TRUE(model.view().enabled.accept);
            model.accept();
            model.runPendingWrite();
            model.runPendingFollowUp();
        }
    }
    CalPageModel& calibrated() {
        cal = std::make_unique<CalPageModel>(environment());
        initialise(*cal);
        walk(*cal, RowTarget);
        return *cal;
    }

    testing::WalkModelRig rig;
    KeptRecords kept;
    std::unique_ptr<CalPageModel> cal;
};

TEST_F(RunRecords, ACalibrationLeavesOneRecordPerBoardWithItsReadingsAndFile) {
    rig.services.answers = {false};  // no send
    calibrated();
    ASSERT_EQ(kept.batches.size(), 1u);  // the run's records together
    const std::vector<Record>& run = kept.batches[0];
    ASSERT_EQ(run.size(), 3u);
    const struct {
        const char* serial;
        const char* firmware;
        const char* revision;
    } boards[] = {{"ZC-000101", "1.500", "2.000"},
                  {"unknown", "unknown", "unknown"},
                  {"ZC-000103", "1.500", "unknown"}};
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(b);
        const Record& r = run[b];
        EXPECT_EQ(r.kind, RecordKind::Calibration);
        EXPECT_EQ(r.board.address, std::to_string(101 + b));
        EXPECT_EQ(r.board.serial, boards[b].serial);
        EXPECT_EQ(r.board.firmware, boards[b].firmware);
        EXPECT_EQ(r.board.boardRevision, boards[b].revision);
        EXPECT_EQ(r.station, "Bench 2");
        EXPECT_EQ(r.run, run[0].run);
        ASSERT_TRUE(r.setup);
        EXPECT_EQ(r.setup->operatorName, "O'Brien; \"lab\"");
        EXPECT_EQ(r.setup->promptFile.name, "prompts.csv");
        EXPECT_EQ(r.setup->promptFile.sha256, records::Sha256Hex(rig.folder.read("prompts.csv")));
        EXPECT_EQ(r.setup->positions, 11);
        EXPECT_LE(r.setup->start, r.setup->end);
        ASSERT_EQ(r.readings.size(), 22u);
        for (const auto& reading : r.readings) {
            EXPECT_NEAR(reading.reading, RowTarget(reading.row), 1e-12);
            EXPECT_EQ(reading.otherAxis, 0.5);
            EXPECT_EQ(reading.temperature, 25.0);
        }
        EXPECT_EQ(*r.constants, records::ConstantSet::Of(rig.session.devices[b]));
        EXPECT_EQ(r.file.sha256, records::Sha256Hex(rig.folder.read(r.file.name)));
        EXPECT_EQ(rig.session.calibrationRecords[b].uuid, r.uuid);
    }
}

// Each write and verify leaves a record per board the worker reached,
// naming the calibration record whose constants went.
TEST_F(RunRecords, WritesAndVerifiesLeaveARecordPerBoardReached) {
    rig.services.answers = {true, false};  // send; no verify
    calibrated();
    const std::vector<Record> calibrations = kept.batches[0];
    struct Step {
        int code, detail, workerIndex;
    };
    struct Case {
        const char* what;
        int combo;  // 3: All
        uint32_t request;
        std::vector<Step> events;
        RecordKind kind;
        std::vector<std::pair<int, std::string>> outcomes;  // board slot, outcome
    };
    const Case cases[] = {
        {"all written",
         3,
         kWriteCalibrationRequest,
         {{kEventBoardWritten, 101, 1},
          {kEventBoardWritten, 102, 2},
          {kEventBoardWritten, 103, 3},
          {kEventUploadsDone, 103, 3}},
         RecordKind::Upload,
         {{0, "success"}, {1, "success"}, {2, "success"}}},
        {"the second gives up",
         3,
         kWriteCalibrationRequest,
         {{kEventBoardWritten, 101, 1},
          {kEventUploadFailed, 2, 1},
          {kEventUploadFailed, kEventUploadFailed, 1}},
         RecordKind::Upload,
         {{0, "success"}, {1, "failure"}}},
        {"all verified",
         3,
         kVerifyCalibrationRequest,
         {{kEventBoardVerified, 101, 1},
          {kEventBoardVerified, 102, 2},
          {kEventBoardVerified, 103, 3},
          {kEventVerifiesDone, 103, 3}},
         RecordKind::Verify,
         {{0, "success"}, {1, "success"}, {2, "success"}}},
        {"one board fails its verify",
         2,
         kVerifyCalibrationRequest,
         {{kEventVerifyFailed, 1, 2}, {kEventVerifyFailed, kEventVerifyFailed, 2}},
         RecordKind::Verify,
         {{2, "failure"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kept.batches.clear();
        cal->selectBoard(c.combo);
        if (c.request == kVerifyCalibrationRequest) {
            cal->verify();
        } else {
            cal->send();
        }
        ASSERT_EQ(rig.services.codes().back(), c.request);
        for (const Step& e : c.events) {
            rig.setWorkerBoard(e.workerIndex);
            cal->onWorkerEvent(e.code, e.detail);
        }
        const std::vector<Record> made = kept.all();
        ASSERT_EQ(made.size(), c.outcomes.size());
        for (size_t i = 0; i < made.size(); ++i) {
            const int slot = c.outcomes[i].first;
            EXPECT_EQ(made[i].kind, c.kind);
            EXPECT_EQ(made[i].board.address, std::to_string(101 + slot));
            EXPECT_EQ(made[i].outcome, c.outcomes[i].second);
            EXPECT_EQ(made[i].follows, calibrations[slot].uuid);
            EXPECT_EQ(made[i].file, calibrations[slot].file);
            EXPECT_EQ(made[i].axis, "A");
        }
        const std::string lastDetail =
            made.back().outcome == "failure" ? cal->view().message : made.back().detail;
        EXPECT_EQ(made.back().detail, lastDetail);
    }
}

TEST_F(RunRecords, AReadOfAFileAndItsUploadAreRecordedWithTheFile) {
    rig.services.answers = {false};
    calibrated();
    const Record calibration = kept.batches[0][1];
    const std::string name = calibration.file.name.substr(0, calibration.file.name.size() - 4);
    rig.folder.write("cut.csv", rig.folder.read(calibration.file.name).substr(0, 200));
    kept.batches.clear();
    for (const std::string& file : {std::string("cut"), name}) {
        cal->readStarted();
        cal->readChosen(true, file, 1);
    }
    cal->selectBoard(1);
    cal->upload();
    rig.setWorkerBoard(1);
    cal->onWorkerEvent(kEventUploadsDone, 102);
    const std::vector<Record> made = kept.all();
    ASSERT_EQ(made.size(), 3u);
    const struct {
        RecordKind kind;
        const char* file;
        const char* outcome;
    } expected[] = {{RecordKind::Read, "cut.csv", "failure"},
                    {RecordKind::Read, calibration.file.name.c_str(), "success"},
                    {RecordKind::Upload, calibration.file.name.c_str(), "success"}};
    for (size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(made[i].kind, expected[i].kind);
        EXPECT_EQ(made[i].file.name, expected[i].file);
        EXPECT_EQ(made[i].file.sha256, records::Sha256Hex(rig.folder.read(expected[i].file)));
        EXPECT_EQ(made[i].outcome, expected[i].outcome);
        EXPECT_EQ(made[i].board.address, "102");
        EXPECT_EQ(made[i].follows, "");  // a file's constants: no calibration of this session
    }
    for (int k = 0; k < 6; ++k)  // as the file prints them
        EXPECT_NEAR(made[1].constants->a[k], calibration.constants->a[k],
                    1e-5 * std::abs(calibration.constants->a[k]));
}

// The test names the calibration it checks; a board outside a test limit fails.
TEST_F(RunRecords, ATestLeavesARecordPerBoardNamingItsCalibration) {
    rig.services.answers = {false};
    calibrated();
    const std::vector<Record> calibrations = kept.batches[0];
    cal->deactivate();
    kept.batches.clear();
    rig.copies.rangeCheckEnable = false;  // board 103 reads outside a limit once
    CalTestPageModel test(environment());
    initialise(test);
    while (!test.collected()) {
        const int row = test.walk().cursor();
        const double v = RowTestTarget(row);
        for (int round = 0; round < 2; ++round) {
            for (int b = 0; b < 3; ++b) rig.read(test, b, b == 2 && row == 5 ? v + 0.025 : v, 0.5);
        }
        test.tick();
        ASSERT_TRUE(test.view().enabled.accept);
        test.accept();
        test.runPendingWrite();
    }
    ASSERT_EQ(kept.batches.size(), 1u);
    const std::vector<Record>& made = kept.batches[0];
    ASSERT_EQ(made.size(), 3u);
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(made[b].kind, RecordKind::Test);
        EXPECT_EQ(made[b].follows, calibrations[b].uuid);
        EXPECT_EQ(made[b].board, calibrations[b].board);
        EXPECT_EQ(made[b].testRows.size(), 22u);
        EXPECT_EQ(made[b].outcome, b == 2 ? "fail" : "pass");
    }
}

}  // namespace
}  // namespace clinora
