#pragma once

#include "gui/sheet_page.h"

namespace clinora {

// "Settings": bus addresses, the address pool and board settings (calibration mode).
class CPageSettings : public SheetPage {
    Q_OBJECT
public:
    explicit CPageSettings(PageContext& context, QWidget* parent = nullptr);
};

}  // namespace clinora
