#pragma once

#include "gui/sheet_page.h"

namespace clinora {

// "Status": identity of the board on the line.
class CPageStatus : public SheetPage {
    Q_OBJECT
public:
    explicit CPageStatus(PageContext& context, QWidget* parent = nullptr);
};

}  // namespace clinora
