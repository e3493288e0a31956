// The Cal page's Read, Write, Send, Upload and Verify, and its reaction to the
// worker's write and verify events.
#include <cfloat>
#include <cmath>

#include "app/cal_page_model.h"
#include "app/constants_upload.h"
#include "calib/cal_data_file.h"
#include "link/number_text.h"
#include "link/link_words.h"
#include "link/worker_codes.h"

namespace clinora {

namespace {

constexpr const char* kMissingForSome =
    "Calibration data missing\nfor some boards.\nCannot upload.";
constexpr const char* kMissingForThis = "Calibration data missing\nfor this board.\nCannot upload.";
constexpr const char* kBiaxialMissing =
    "Biaxial board enabled and \nB Axis Calibration data missing\nfor this board.\nCannot upload.";
constexpr const char* kAskSend =
    "Calibration Data written to file.\nDo you want to send cal data to device?";
constexpr const char* kAskVerify =
    "Calibration Data written to device(s).\nDo you want to verify correct writing?";
constexpr const char* kFileReadError = "File read error";

bool HasData(const DeviceRecord& r) { return r.status != CalSession::kNoCalibration; }
bool HoldsCollectedRun(const DeviceRecord& r) { return r.status.find("Cal") != std::string::npos; }

// Every constant a board would receive is a finite value that single
// precision can hold.
bool ConstantsSendable(const DeviceRecord& r) {
    const auto fits = [](double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; };
    for (int k = 0; k < 6; ++k) {
        if (!fits(r.a[k]) || !fits(r.b[k])) return false;
    }
    return fits(r.aCrossLinear) && fits(r.aCrossQuadratic) && fits(r.bCrossLinear) &&
           fits(r.bCrossQuadratic);
}

}  // namespace

// --- Read --------------------------------------------------------------------

void CalPageModel::readStarted() {
    env_.services.submit(requestFor(kStopRequest));
    readFile_ = true;
}

void CalPageModel::readChosen(bool accepted, const std::string& name, int boardIndex) {
    if (!accepted) return;
    // Only a board on the page can take a file's constants.
    if (name.empty() || boardIndex < 0 || boardIndex >= boards_) {
        setMessage(kFileReadError);
        return;
    }
    calib::CalDataFile file;
    DeviceRecord read = record(boardIndex);
    const int found = file.ReadCalibrationConstants(env_.files.path(name + ".csv"), read);
    if (found < calib::kConstantsUsable || !ConstantsSendable(read)) {
        setMessage(kFileReadError, true);
        recordRead(boardIndex, name + ".csv", read, false);
        return;
    }
    record(boardIndex) = read;
    setMessage("File read for board # " + std::to_string(boardIndex + 1), true);
    recordRead(boardIndex, name + ".csv", read, true);
    record(boardIndex).status = CalSession::kFromFile;
    caption();
    view_.enabled.upload = true;
    fit_.Reset(walk_.positionsPerSweep(), env_.copies.tiltRange);
    record(boardIndex).status = CalSession::kCalibrated;
}

// --- Write -------------------------------------------------------------------

void CalPageModel::write() {
    writeFile_ = true;
    residuals_.clear();
    calib::CalDataFile file = dataFile();
    const int axis = chosenAxis();
    const bool append = env_.copies.appendData;
    std::vector<FitFailure> failedFits;
    // A run walked on this visit leaves a record per board written, made
    // right after its fit and file; those made are kept also when a later
    // file fails.
    const std::optional<records::RunInfo> run = recorder_.run(negate());
    RecordBatch batch(collected_ && run ? env_.records : nullptr);
    for (int b : chosenBoards()) {
        DeviceRecord& r = record(b);
        const std::string name = file.MakeFileName(
            r, axis == calib::kAxisA ? calib::kPrefixAxisA : calib::kPrefixAxisB, append);
        // A board whose fit fails gets no file; its readings stay for another try.
        if (fit_.Compute(r, axis, negate()) != calib::kFitOk) {
            failedFits.push_back({b, fit_.lastError()});
            continue;
        }
        if (file.WriteCalibrationFile({}, r, fit_, append, axis) != 0) {
            setMessage("Failed writing file " + std::to_string(b), true);
            return;
        }
        if (batch.active()) {
            records::Record made =
                records::BuildCalibrationRecord(*run, recorder_.identity(b), r, fit_, rows_,
                                                FileInFolder(env_.files.workingFolder, name),
                                                recorder_.extras(b));
            sources_[b] = {made.file, made.uuid};
            env_.session.calibrationRecords[b] = {address(b), made.board.serial, made.uuid};
            batch.add(std::move(made));
        }
        residuals_.push_back({address(b), calib::ComputeFitResiduals(fit_, axis, negate(), rows_)});
        setMessage("File write success", true);
        env_.session.calibrationSavedToFile = true;
    }
    runSaved_ = collected_ && failedFits.empty() && allSelected();
    // The residuals come up before the operator decides on sending the
    // constants, which is asked on the next turn.
    view_.enabled.residuals = !residuals_.empty();
    if (!residuals_.empty()) showResiduals();
    if (!failedFits.empty()) {
        fitFailed(failedFits);
        return;
    }
    view_.followUpPending = env_.session.calibrationSavedToFile;
}

void CalPageModel::followUp() {
    if (env_.services.question(kAskSend)) send();
}

// The message line names the boards; the box also says why each fit failed.
void CalPageModel::fitFailed(const std::vector<FitFailure>& failures) {
    std::string line = "Fit failed for board";
    std::string box;
    for (size_t i = 0; i < failures.size(); ++i) {
        const std::string board = address(failures[i].slot);
        line += (i ? ", " : " ") + board;
        box += (i ? "\n" : "") + ("Fit failed for board " + board + ": " + failures[i].reason);
    }
    setMessage(line, true);
    env_.services.message(box);
}

// --- Send, Upload, Verify ----------------------------------------------------------

bool CalPageModel::fitForSend(int slot) {
    if (!HoldsCollectedRun(record(slot))) return true;
    if (fit_.Compute(record(slot), chosenAxis(), negate()) == calib::kFitOk) return true;
    fitFailed({{slot, fit_.lastError()}});
    return false;
}

void CalPageModel::send() {
    upload_ = true;
    if (allSelected()) {
        for (int b = 0; b < boards_; ++b) {
            if (!HasData(record(b))) {
                env_.services.timedMessage(2, kMissingForSome);
                upload_ = false;
                return;
            }
            if (!fitForSend(b)) {
                upload_ = false;
                return;
            }
        }
        submitTransfer(kWriteCalibrationRequest, boards_);
        return;
    }
    const std::vector<int> chosen = chosenBoards();
    if (chosen.empty() || !HasData(record(chosen[0]))) {
        env_.services.timedMessage(2, kMissingForThis);
        upload_ = false;
        return;
    }
    if (!fitForSend(chosen[0])) {
        upload_ = false;
        return;
    }
    submitTransfer(kWriteCalibrationRequest, chosen[0]);
}

void CalPageModel::upload() {
    upload_ = true;
    const std::vector<int> chosen = allSelected() ? std::vector<int>{} : chosenBoards();
    if (chosen.empty() || !HasData(record(chosen[0]))) {
        env_.services.timedMessage(2, kMissingForThis);
        upload_ = false;
        return;
    }
    const DeviceRecord& r = record(chosen[0]);
    const bool biaxial = env_.copies.biaxialFile;
    if (biaxial && r.b[0] == 0 && r.b[2] == 0 && r.b[3] == 0 && r.b[4] == 0) {
        env_.services.timedMessage(2, kBiaxialMissing);
        upload_ = false;
        return;
    }
    // All-zero constants would wipe the board's calibration of that axis.
    if (AxisConstantsAllZero(r, biaxial || view_.axisA ? 1 : 0)) {
        env_.services.timedMessage(2, kMissingForThis);
        upload_ = false;
        return;
    }
    submitTransfer(biaxial ? kBiaxialWriteRequest : kWriteCalibrationRequest, chosen[0]);
}

void CalPageModel::verify() {
    verify_ = true;
    int target = boards_;
    if (allSelected()) {
        for (int b = 0; b < boards_; ++b) {
            if (!HasData(record(b))) {
                env_.services.timedMessage(2, kMissingForSome);
                verify_ = false;
                return;
            }
        }
    } else {
        const std::vector<int> chosen = chosenBoards();
        if (chosen.empty() || !HasData(record(chosen[0]))) {
            env_.services.timedMessage(2, kMissingForThis);
            verify_ = false;
            return;
        }
        target = chosen[0];
    }
    submitTransfer(kVerifyCalibrationRequest, target);
}

bool CalPageModel::submitTransfer(uint32_t code, int writeTarget) {
    WorkerRequest request = requestFor(code);
    request.writeTarget = writeTarget;
    request.boardCount = boards_;
    request.devices = env_.session.devices;
    request.axisSelector = view_.axisA ? 1 : 0;
    if (env_.services.submit(request)) {
        beginTransfer(code, writeTarget);
        stepsLive_ = false;
        strayNamed_ = false;
        view_.progress = {true, 0, writeTarget == boards_ ? boards_ : 1, 0, 1};
        return true;
    }
    // The worker was busy with another request: nothing runs, so nothing is
    // in progress.
    upload_ = verify_ = false;
    setMessage("Busy: try again", true);
    return false;
}

// --- the worker's write and verify events --------------------------------------------

std::string CalPageModel::finishedBoard(int detail) const {
    const std::string previous = workerBoardAddress(-1);
    return previous.empty() ? std::to_string(detail) : previous;
}

bool CalPageModel::onOtherEvent(int code, int detail) {
    const bool handled = onTransferEvent(code, detail);
    // The lamp follows the flags at once, so "Success verifying" never shows
    // beside a lamp still saying busy until the next tick.
    view_.busy = upload_ || verify_;
    return handled;
}

bool CalPageModel::onTransferEvent(int code, int detail) {
    switch (code) {
        case kEventWriteProbe:
            setMessage("Connecting to write cal");
            return true;
        case kEventVerifyProbe:
            setMessage("Connecting to verify cal");
            return true;
        case kEventBoardWritten:
        case kEventBiaxialWrite:
            setMessage(detail == code ? "Starting Writing cal"
                                      : "Written cal # " + finishedBoard(detail));
            if (detail != code) transferBoardDone(detail);
            return true;
        case kEventBoardVerified:
            setMessage(
                detail == code ? "Verify started..." : "Verified board # " + finishedBoard(detail),
                true);
            if (detail != code) transferBoardDone(detail);
            return true;
        case kEventBiaxialProbe:
            setMessage("Connecting to write cal biaxial");
            return true;
        case kEventUploadStarting:
            updateProgress(ProgressPoint::BoardStarting);
            setMessage("Writing board # " + Printf("%d...", detail), true);
            return true;
        case kEventStrayWrite: {
            // Said at once, in a box for what is left to put right.
            const auto reports =
                env_.state.locked([](const SharedData& d) { return d.worker.strayReports; });
            if (detail < 0 || detail >= static_cast<int>(reports.size())) return true;
            const std::string text = StrayWriteText(reports[detail]);
            setMessage(text, true);
            if (!StrayIsMended(reports[detail])) {
                strayNamed_ = true;
                env_.services.message(text);
            }
            return true;
        }
        case kEventUploadsDone:
            updateProgress(ProgressPoint::Finished);
            upload_ = false;
            setMessage(strayNamed_ ? "Written, but another cell was changed (see the message)"
                                   : "Success writing",
                       true);
            endTransfer({});
            view_.enabled.verify = true;
            if (env_.services.question(kAskVerify)) verify();
            return true;
        case kEventUploadFailed:
            upload_ = false;
            setMessage((detail == code ? "Error writing # "
                                       : Printf("%d ", detail) + "errors writing # ") +
                           workerBoardAddress(),
                       true);
            if (detail == code) endTransfer(view_.message);
            return true;
        case kEventVerifyStarting:
            updateProgress(ProgressPoint::BoardStarting);
            setMessage("Verifying board # " + workerBoardAddress(), true);
            return true;
        case kEventVerifiesDone:
            updateProgress(ProgressPoint::Finished);
            verify_ = false;
            setMessage("Success verifying", true);
            endTransfer({});
            return true;
        case kEventVerifyFailed:
            verify_ = false;
            setMessage((detail == code ? "Error verifying # "
                                       : Printf("%d ", detail) + "errors verifying # ") +
                           workerBoardAddress(),
                       true);
            if (detail == code) endTransfer(view_.message);
            return true;
        default:
            return false;
    }
}

// --- records of moved constants ---------------------------------------------------

void CalPageModel::recordRead(int slot, const std::string& fileName, const DeviceRecord& read,
                              bool success) {
    if (!env_.records) return;
    records::TransferOutcome outcome;
    outcome.kind = records::RecordKind::Read;
    outcome.axis = env_.copies.biaxialFile ? "A+B"
                   : AxisSelectorOfFile(fileName) == 1 ? "A"
                                                        : "B";
    outcome.success = success;
    outcome.detail = view_.message;
    const records::FileRef file = FileInFolder(env_.files.workingFolder, fileName);
    if (success) sources_[slot] = {file, {}};
    RecordBatch batch(env_.records);
    batch.add(records::BuildTransferRecord(records::ThisStation(env_.copies.stationName),
                                           recorder_.identity(slot), file, read, outcome));
}

void CalPageModel::beginTransfer(uint32_t code, int writeTarget) {
    transfer_.reset();
    if (!env_.records) return;
    Transfer t;
    t.kind = code == kVerifyCalibrationRequest ? records::RecordKind::Verify
                                               : records::RecordKind::Upload;
    t.axis = code == kBiaxialWriteRequest ? "A+B" : records::AxisName(chosenAxis());
    if (writeTarget == boards_) {
        for (int b = 0; b < boards_; ++b) t.boards.push_back(b);
    } else if (writeTarget >= 0 && writeTarget < boards_) {
        t.boards.push_back(writeTarget);
    }
    t.done.assign(t.boards.size(), false);
    t.devices = env_.session.devices;
    transfer_ = std::move(t);
}

void CalPageModel::transferBoardDone(int detail) {
    if (!transfer_) return;
    for (size_t i = 0; i < transfer_->boards.size(); ++i) {
        if (ParseLeadingIntSaturated(address(transfer_->boards[i])) == detail) {
            transfer_->done[i] = true;
            return;
        }
    }
}

// Boards the worker never reached get no record: nothing happened to them.
void CalPageModel::endTransfer(const std::string& failure) {
    if (!transfer_) return;
    const Transfer t = std::move(*transfer_);
    transfer_.reset();
    const bool verify = t.kind == records::RecordKind::Verify;
    const records::StationInfo station = records::ThisStation(env_.copies.stationName);
    RecordBatch batch(env_.records);
    bool failedOne = false;
    for (size_t i = 0; i < t.boards.size(); ++i) {
        const bool success = failure.empty() || t.done[i];
        if (!success && failedOne) break;
        failedOne = failedOne || !success;
        const int slot = t.boards[i];
        records::TransferOutcome outcome;
        outcome.kind = t.kind;
        outcome.axis = t.axis;
        outcome.success = success;
        outcome.detail = success ? (verify ? "Success verifying" : "Success writing") : failure;
        outcome.follows = sources_[slot].calibration;
        batch.add(records::BuildTransferRecord(station, recorder_.identity(slot),
                                               sources_[slot].file, t.devices[slot], outcome));
    }
}

}  // namespace clinora
