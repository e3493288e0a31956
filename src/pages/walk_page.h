#pragma once

#include <QTimer>
#include <memory>

#include "gui/sheet_page.h"

namespace clinora {

class CCalSetupDlg;
class QtPageServices;
class WalkPageModel;
class WalkPageView;

// What the Cal and Test pages share as widgets: the view of the walk, the
// 200 ms tick, activation, the worker's events, the walk buttons and Setup.
// The model holds the rules; the page renders it after every step.
class WalkPage : public SheetPage {
    Q_OBJECT
public:
    static constexpr int kTickMs = 200;

    ~WalkPage() override;

    bool onSetActive() override;
    bool onKillActive() override;
    QString leaveQuestion() const override;
    void onExitCancelled() override;
    // One 200 ms step of the page (its timer calls it; tests on virtual time too).
    void tick();

protected:
    WalkPage(const QString& title, PageContext& context, QWidget* parent, bool calibration);
    // Takes the model (made by the derived page) and connects the shared controls.
    void setModel(std::unique_ptr<WalkPageModel> model);
    void onWorkerEvent(int code, int detail) override;
    void render();
    bool ready() const { return model_ != nullptr; }

    std::unique_ptr<QtPageServices> services_;
    std::unique_ptr<WalkPageView> view_;
    std::unique_ptr<WalkPageModel> model_;

private:
    void onSetup();

    QTimer timer_;
    CCalSetupDlg* setup_ = nullptr;  // made at the first Setup, kept for the next
};

}  // namespace clinora
