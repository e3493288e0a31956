#pragma once

#include <QTimer>

#include "gui/sheet_page.h"
#include "link/request_record.h"

namespace clinora {

class CCePropertySheet;

// "Exit": the only way out. Selecting it stops the boards' triggering, asks
// for confirmation and on Yes saves settings and address files, closes the
// main window and ends the sheet. The page itself never becomes active: the
// sheet stays with the page the user came from while the question is open,
// and after No.
class CPageExit : public SheetPage {
    Q_OBJECT
public:
    static constexpr int kPauseMs = 1000;
    static constexpr const char* kQuestion = "Do you want to exit Clinora?";

    CPageExit(PageContext& context, CCePropertySheet* sheet, QWidget* parent = nullptr);

    bool onSetActive() override;
    bool pending() const { return pause_.isActive(); }

private:
    void afterPause();

    CCePropertySheet* sheet_;
    RequestRecord request_;
    QTimer pause_;
};

}  // namespace clinora
