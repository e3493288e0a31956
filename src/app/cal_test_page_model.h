#pragma once

#include "app/walk_page_model.h"

namespace clinora {

// The Test page's rules: the same walk in calibrated units, readouts judged
// against the rows' test limits, the unsaved-calibration question once per
// visit and the calibration test files.
class CalTestPageModel final : public WalkPageModel {
public:
    explicit CalTestPageModel(WalkEnvironment environment);

    void deactivate() override;
    void writeFiles() { write(); }
    // The test records of the boards whose test files were written last, in
    // board order (the certificates are made from them).
    const std::vector<std::string>& testRecords() const { return testRecords_; }
    // Certificates are being issued (the action waits), and then what came
    // of it: `summary` on the message line, `text` in a message box.
    void certificatesStarted();
    void certificatesDone(const std::string& summary, const std::string& text);

private:
    const Rules& rules() const override;
    RowLimits limits(const calib::PromptRow& row, bool axisA) const override;
    double tolerance() const override { return env_.copies.rangeErrorCalTest; }
    bool quietFor(int code) const override;
    void clearOperationFlags() override { writing_ = false; }
    void updateAccept() override;
    void firstAccept() override;
    bool mayStore() override;
    void write() override;

    bool writing_ = false;
    std::vector<std::string> testRecords_;
};

}  // namespace clinora
