#pragma once

#include "pages/walk_page.h"

namespace clinora {

class CalPageModel;
class ResidualWindow;

// "Cal": the calibration run of up to six boards (calibration mode). The
// rules are CalPageModel's; the page adds Read, Write, Send, Upload, Verify,
// NegA/NegB and the fit's residual window to the shared walk page.
class CPageCal : public WalkPage {
    Q_OBJECT
public:
    explicit CPageCal(PageContext& context, QWidget* parent = nullptr);

    const CalPageModel* model() const;
    ResidualWindow* residualWindow() const { return residuals_; }

private:
    CalPageModel& cal();
    void onRead();

    ResidualWindow* residuals_ = nullptr;
};

}  // namespace clinora
