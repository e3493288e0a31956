#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/walk_page_model.h"
#include "calib/cal_fit_workspace.h"

namespace clinora {

// The Cal page's rules: collecting the positions of a calibration run, the
// fit, the calibration data files and moving constants between files and
// boards (Read, Write, Send, Upload, Verify) with the worker's write and
// verify events.
class CalPageModel final : public WalkPageModel {
public:
    explicit CalPageModel(WalkEnvironment environment);

    void setNegate(bool axisA, bool on);
    void deactivate() override;

    // Read: the worker stops; then the page shows the file dialog and hands
    // its outcome to readChosen (accepted false when it was cancelled).
    void readStarted();
    void readChosen(bool accepted, const std::string& name, int boardIndex);
    void writeFiles() { write(); }
    void send();
    void upload();
    void verify();

    // The residuals of the last Write's fits; the page shows them again on request.
    const std::vector<BoardResiduals>& residuals() const { return residuals_; }
    void showResiduals() { env_.services.showResiduals(residuals_); }

    bool uploadInProgress() const { return upload_; }
    bool verifyInProgress() const { return verify_; }

private:
    const Rules& rules() const override;
    RowLimits limits(const calib::PromptRow& row, bool axisA) const override;
    double tolerance() const override { return env_.copies.rangeErrorCal; }
    bool quietFor(int code) const override;
    void clearOperationFlags() override;
    void updateAccept() override;
    void firstAccept() override;
    void write() override;
    void followUp() override;
    bool onOtherEvent(int code, int detail) override;
    bool onTransferEvent(int code, int detail);
    void activated() override;
    void collectedRun() override { view_.enabled.send = true; }
    std::string transferQuestion() const override;
    void ticked() override;

    bool negate() const;
    // Fits a board whose status says it holds collected readings; false (and
    // the failure said) when the fit fails.
    bool fitForSend(int slot);
    // A board whose fit failed, and why.
    struct FitFailure {
        int slot;
        std::string reason;
    };
    void fitFailed(const std::vector<FitFailure>& failures);
    bool submitTransfer(uint32_t code, int writeTarget);
    // The board just written or verified: the entry before the worker's index.
    std::string finishedBoard(int detail) const;

    // Brings the write or verify progress up to date with the worker's counters.
    enum class ProgressPoint { Tick, BoardStarting, Finished };
    void updateProgress(ProgressPoint point);

    // Records of the moves of constants: the file each board's constants
    // came from (the data file written, or the file read) and the
    // calibration record they belong to.
    struct ConstantsSource {
        records::FileRef file;
        std::string calibration;
    };
    std::array<ConstantsSource, kMaxBoards> sources_{};
    // The write or verify under way for its records: which boards it takes
    // and which of them the worker has finished.
    struct Transfer {
        records::RecordKind kind = records::RecordKind::Upload;
        std::string axis;
        std::vector<int> boards;  // their slots
        std::vector<bool> done;
        std::array<DeviceRecord, kMaxBoards> devices;  // the constants sent or compared
    };
    std::optional<Transfer> transfer_;
    void beginTransfer(uint32_t code, int writeTarget);
    // The worker finished the board whose address number is `detail`.
    void transferBoardDone(int detail);
    // The transfer ended: the finished boards succeeded; the board the
    // worker was at failed, with `failure` in words (empty: all succeeded).
    void endTransfer(const std::string& failure);
    // A Read of a file for board `slot`: its record, with the constants read.
    void recordRead(int slot, const std::string& fileName, const DeviceRecord& read, bool success);

    calib::CalFitWorkspace fit_;
    std::vector<BoardResiduals> residuals_;
    // The worker's step counter belongs to this transfer, and to the board of
    // this index (boards done when it started).
    bool stepsLive_ = false;
    int stepsBoard_ = -1;
    bool upload_ = false, readFile_ = false, writeFile_ = false, verify_ = false;
    // A cell besides the constants was changed during this transfer (named).
    bool strayNamed_ = false;
};

}  // namespace clinora
