#pragma once

#include "gui/sheet_page.h"

namespace clinora {

// "Monitor": tilt and temperature of the board on the line, and the reading log.
class CPageMonitor : public SheetPage {
    Q_OBJECT
public:
    explicit CPageMonitor(PageContext& context, QWidget* parent = nullptr);
};

}  // namespace clinora
