#pragma once

#include <QTimer>
#include <memory>

#include "gui/sheet_page.h"

namespace clinora {

class CalPageModel;
class QtPageServices;
class WalkPageView;

// "Cal": the calibration run of up to six boards (calibration mode). The
// rules are CalPageModel's; the page renders its view, runs its 200 ms tick
// and opens the Setup and file dialogs.
class CPageCal : public SheetPage {
    Q_OBJECT
public:
    static constexpr int kTickMs = 200;

    explicit CPageCal(PageContext& context, QWidget* parent = nullptr);
    ~CPageCal() override;

    bool onSetActive() override;
    bool onKillActive() override;

    const CalPageModel* model() const { return model_.get(); }
    // One 200 ms step of the page (its timer calls it; tests on virtual time too).
    void tick();

protected:
    void onWorkerEvent(int code, int detail) override;

private:
    void connectControls();
    void render();
    void onSetup();
    void onRead();

    std::unique_ptr<QtPageServices> services_;
    std::unique_ptr<CalPageModel> model_;
    std::unique_ptr<WalkPageView> view_;
    QTimer timer_;
};

}  // namespace clinora
