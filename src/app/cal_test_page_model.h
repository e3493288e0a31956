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
};

}  // namespace clinora
