#pragma once

#include "pages/walk_page.h"

namespace clinora {

class CalPageModel;

// "Cal": the calibration run of up to six boards (calibration mode). The
// rules are CalPageModel's; the page adds Read, Write, Send, Upload, Verify
// and NegA/NegB to the shared walk page.
class CPageCal : public WalkPage {
    Q_OBJECT
public:
    explicit CPageCal(PageContext& context, QWidget* parent = nullptr);

    const CalPageModel* model() const;

private:
    CalPageModel& cal();
    void onRead();
};

}  // namespace clinora
