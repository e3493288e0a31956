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
        return;
    }
    record(boardIndex) = read;
    setMessage("File read for board # " + std::to_string(boardIndex + 1), true);
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
    for (int b : chosenBoards()) {
        DeviceRecord& r = record(b);
        file.MakeFileName(r, axis == calib::kAxisA ? calib::kPrefixAxisA : calib::kPrefixAxisB,
                          append);
        // A board whose fit fails gets no file; its readings stay for another try.
        if (fit_.Compute(r, axis, negate()) != calib::kFitOk) {
            failedFits.push_back({b, fit_.lastError()});
            continue;
        }
        if (file.WriteCalibrationFile({}, r, fit_, append, axis) != 0) {
            setMessage("Failed writing file " + std::to_string(b), true);
            return;
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
            return true;
        case kEventBoardVerified:
            setMessage(
                detail == code ? "Verify started..." : "Verified board # " + finishedBoard(detail),
                true);
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
            view_.enabled.verify = true;
            if (env_.services.question(kAskVerify)) verify();
            return true;
        case kEventUploadFailed:
            upload_ = false;
            setMessage((detail == code ? "Error writing # "
                                       : Printf("%d ", detail) + "errors writing # ") +
                           workerBoardAddress(),
                       true);
            return true;
        case kEventVerifyStarting:
            updateProgress(ProgressPoint::BoardStarting);
            setMessage("Verifying board # " + workerBoardAddress(), true);
            return true;
        case kEventVerifiesDone:
            updateProgress(ProgressPoint::Finished);
            verify_ = false;
            setMessage("Success verifying", true);
            return true;
        case kEventVerifyFailed:
            verify_ = false;
            setMessage((detail == code ? "Error verifying # "
                                       : Printf("%d ", detail) + "errors verifying # ") +
                           workerBoardAddress(),
                       true);
            return true;
        default:
            return false;
    }
}

}  // namespace clinora
