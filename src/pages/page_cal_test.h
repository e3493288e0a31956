#pragma once

#include "gui/sheet_page.h"

namespace clinora {

// "Test": the calibration test of calibrated boards (calibration mode).
class CPageCalTest : public SheetPage {
    Q_OBJECT
public:
    explicit CPageCalTest(PageContext& context, QWidget* parent = nullptr);
};

}  // namespace clinora
