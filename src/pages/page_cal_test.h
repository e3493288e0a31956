#pragma once

#include "pages/walk_page.h"

namespace clinora {

class CalTestPageModel;

// "Test": the calibration test of calibrated boards (calibration mode). The
// rules are CalTestPageModel's; the page adds Write and Certificates to the
// shared walk page.
class CPageCalTest : public WalkPage {
    Q_OBJECT
public:
    explicit CPageCalTest(PageContext& context, QWidget* parent = nullptr);

    const CalTestPageModel* model() const;

private:
    void issueCertificates();
};

}  // namespace clinora
