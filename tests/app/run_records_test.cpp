// The records the Cal and Test page models leave: a calibration and a test
// record per board, and one per write, verify and read of constants.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/cal_page_model.h"
#include "records/digest.h"
#include "walk_model_rig.h"

namespace clinora {
namespace {

using records::Record;
using records::RecordKind;
using testing::RowTarget;

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
        EXPECT_EQ(r.board, (records::BoardIdentity{std::to_string(101 + b), boards[b].serial,
                                                   boards[b].firmware, boards[b].revision}));
        EXPECT_EQ(r.station, "Bench 2");
        EXPECT_EQ(r.run, run[0].run);
        EXPECT_EQ(r.setup->operatorName, "O'Brien; \"lab\"");
        EXPECT_EQ(r.setup->promptFile,
                  (records::FileRef{"prompts.csv", records::Sha256Hex(rig.folder.read("prompts.csv"))}));
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
    const RecordKind up = RecordKind::Upload, verify = RecordKind::Verify;
    const uint32_t send = kWriteCalibrationRequest, check = kVerifyCalibrationRequest;
    const struct Case {
        const char* what;
        int combo;  // 3: All
        uint32_t request;
        std::vector<Step> events;
        RecordKind kind;
        std::vector<std::pair<int, std::string>> outcomes;  // board slot, outcome
    } cases[] = {
        {"all written", 3, send,
         {{kEventBoardWritten, 101, 1}, {kEventBoardWritten, 102, 2},
          {kEventBoardWritten, 103, 3}, {kEventUploadsDone, 103, 3}},
         up, {{0, "success"}, {1, "success"}, {2, "success"}}},
        {"the second gives up", 3, send,
         {{kEventBoardWritten, 101, 1}, {kEventUploadFailed, 2, 1},
          {kEventUploadFailed, kEventUploadFailed, 1}},
         up, {{0, "success"}, {1, "failure"}}},
        {"all verified", 3, check,
         {{kEventBoardVerified, 101, 1}, {kEventBoardVerified, 102, 2},
          {kEventBoardVerified, 103, 3}, {kEventVerifiesDone, 103, 3}},
         verify, {{0, "success"}, {1, "success"}, {2, "success"}}},
        {"one board fails its verify", 2, check,
         {{kEventVerifyFailed, 1, 2}, {kEventVerifyFailed, kEventVerifyFailed, 2}},
         verify, {{2, "failure"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kept.batches.clear();
        cal->selectBoard(c.combo);
        c.request == check ? cal->verify() : cal->send();
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
        if (made.back().outcome == "failure") {
            EXPECT_EQ(made.back().detail, cal->view().message);  // "Error writing # 102"
        }
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
        std::string file, outcome;
    } expected[] = {{RecordKind::Read, "cut.csv", "failure"},
                    {RecordKind::Read, calibration.file.name, "success"},
                    {RecordKind::Upload, calibration.file.name, "success"}};
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

}  // namespace
}  // namespace clinora
