#include "app/cal_test_page_model.h"

#include "calib/cal_data_file.h"
#include "calib/cal_fit_workspace.h"
#include "link/worker_codes.h"

namespace clinora {

namespace {
constexpr const char* kAskUnsaved =
    "Calibration data was not saved to file\n.Do you want to run calibration test?";
}  // namespace

CalTestPageModel::CalTestPageModel(WalkEnvironment environment)
    : WalkPageModel(std::move(environment)) {
    view_.title = "Calibration Test";
}

const WalkPageModel::Rules& CalTestPageModel::rules() const {
    static const Rules kRules{"Calibration Test", CalSession::kTested, 2, 4, false, false};
    return kRules;
}

WalkPageModel::RowLimits CalTestPageModel::limits(const calib::PromptRow& row, bool axisA) const {
    return axisA ? RowLimits{row.aTestTarget, row.aTestLow, row.aTestHigh}
                 : RowLimits{row.bTestTarget, row.bTestLow, row.bTestHigh};
}

bool CalTestPageModel::quietFor(int code) const {
    return code == kEventHeartbeat ? writing_ : writing_ || collected_;
}

// Five reading events after the last Accept, whatever the averaging and
// expert settings.
void CalTestPageModel::updateAccept() {
    if (readings_ <= 5) return;
    const bool ready = promptValid_ && !collected_;
    view_.promptColour = ready ? Shade::Green : Shade::White;
    if (ready) view_.enabled.accept = true;
    readings_ = 0;
}

void CalTestPageModel::firstAccept() {
    for (DeviceRecord& r : env_.session.devices)
        calib::ClearAxisRun(r, calib::kAxisB, walk_.positionsPerSweep());
    testRecords_.clear();
    view_.enabled.certificates = false;
}

// A calibration that was not written to a file is tested only when the
// operator says so, and then not asked about again during this visit.
bool CalTestPageModel::mayStore() {
    if (!env_.session.calibrationSavedToFile && !env_.services.question(kAskUnsaved)) return false;
    env_.session.calibrationSavedToFile = true;
    return true;
}

// Leaving the page forgets that the calibration was saved: the next visit
// asks again unless a calibration Write comes first.
void CalTestPageModel::deactivate() {
    env_.session.calibrationSavedToFile = false;
    WalkPageModel::deactivate();
}

void CalTestPageModel::write() {
    writing_ = true;
    calib::CalDataFile file = dataFile();
    const int axis = chosenAxis();
    const bool append = env_.copies.appendData;
    const std::vector<int> boards = chosenBoards();
    // A test walked on this visit leaves a record per board whose file was
    // written, naming the board's calibration record when this session made it.
    const std::optional<records::RunInfo> run = recorder_.run(false);
    RecordBatch batch(collected_ && run ? env_.records : nullptr);
    if (batch.active()) testRecords_.clear();
    for (int b : boards) {
        const std::string name = file.MakeFileName(
            record(b), axis == calib::kAxisA ? calib::kPrefixTestAxisA : calib::kPrefixTestAxisB,
            append);
        if (file.WriteTestFile({}, record(b), append, axis) != 0) {
            setMessage("Failed writing file " + std::to_string(b), true);
            return;
        }
        if (batch.active()) {
            // The calibration of this very board: same address and serial number.
            const CalSession::CalibrationRecord& calibration = env_.session.calibrationRecords[b];
            const records::BoardIdentity board = recorder_.identity(b);
            const bool same = calibration.address == address(b) && calibration.serial == board.serial;
            records::Record test = records::BuildTestRecord(
                *run, board, record(b), rows_, FileInFolder(env_.files.workingFolder, name),
                recorder_.extras(b), same ? calibration.uuid : std::string());
            testRecords_.push_back(test.uuid);
            batch.add(std::move(test));
        }
        setMessage("File write success", true);
    }
    view_.enabled.certificates = !testRecords_.empty();
    runSaved_ = collected_ && allSelected();
    if (!boards.empty()) env_.services.timedMessage(2, "Cal Test data saved in file.");
}

void CalTestPageModel::certificatesStarted() {
    view_.enabled.certificates = false;
    setMessage("Issuing certificates...");
}

void CalTestPageModel::certificatesDone(const std::string& summary, const std::string& text) {
    view_.enabled.certificates = !testRecords_.empty();
    setMessage(summary);
    env_.services.message(text);
}

}  // namespace clinora
