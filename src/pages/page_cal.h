#pragma once

#include "gui/sheet_page.h"

namespace clinora {

// "Cal": the calibration run of up to six boards (calibration mode).
class CPageCal : public SheetPage {
    Q_OBJECT
public:
    explicit CPageCal(PageContext& context, QWidget* parent = nullptr);
};

}  // namespace clinora
