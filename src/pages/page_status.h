#pragma once

#include <QTimer>

#include "app/status_page_model.h"
#include "gui/sheet_page.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace clinora {

// "Status": identity of the board on the line (firmware version, board
// revision, serial number) fetched through the worker on "Update", and the
// "Fahrenheit units" choice of the reading display.
class CPageStatus : public SheetPage {
    Q_OBJECT
public:
    // How long after activation the boards are told to stop triggering.
    static constexpr int kTriggerOffDelayMs = 1000;

    explicit CPageStatus(PageContext& context, QWidget* parent = nullptr);

    bool onSetActive() override;
    bool onKillActive() override;

protected:
    void onWorkerEvent(int code, int detail) override;

private:
    void render();
    void onUpdate();
    void onFahrenheitClicked(bool checked);
    void sendTriggerOff();

    StatusPageModel model_;
    bool firstActivation_ = true;
    QTreeWidget* list_;
    QPushButton* update_;
    QCheckBox* fahrenheit_;
    QLabel* note_;  // why Update brought nothing, or what it is waiting for
    QTimer triggerOff_;
};

}  // namespace clinora
