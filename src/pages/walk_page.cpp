#include "pages/walk_page.h"

#include <QComboBox>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "app/page_copies.h"
#include "app/walk_page_model.h"
#include "link/shared_state.h"
#include "pages/cal_setup_dialog.h"
#include "pages/qt_page_services.h"
#include "pages/walk_page_view.h"

namespace clinora {

WalkPage::WalkPage(const QString& title, PageContext& context, QWidget* parent, bool calibration)
    : SheetPage(title, context, parent),
      services_(std::make_unique<QtPageServices>(context)),
      view_(std::make_unique<WalkPageView>(this, calibration)) {
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &WalkPage::tick);
}

WalkPage::~WalkPage() = default;

void WalkPage::setModel(std::unique_ptr<WalkPageModel> model) {
    model_ = std::move(model);
    if (!model_) return;
    const auto act = [this](void (WalkPageModel::*action)()) {
        return [this, action] {
            (model_.get()->*action)();
            render();
        };
    };
    WalkPageView& v = *view_;
    connect(v.accept, &QPushButton::clicked, this, act(&WalkPageModel::accept));
    connect(v.back, &QPushButton::clicked, this, act(&WalkPageModel::back));
    connect(v.init, &QPushButton::clicked, this, act(&WalkPageModel::init));
    connect(v.axisA, &QRadioButton::clicked, this, [this] {
        model_->chooseAxis(true);
        render();
    });
    connect(v.axisB, &QRadioButton::clicked, this, [this] {
        model_->chooseAxis(false);
        render();
    });
    connect(v.boards, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_->selectBoard(index); });
    connect(v.setup, &QPushButton::clicked, this, &WalkPage::onSetup);
    v.history->setEnabled(static_cast<bool>(context_.openHistory));
    connect(v.history, &QPushButton::clicked, this, [this] {
        if (context_.openHistory) context_.openHistory();
    });
}

bool WalkPage::onSetActive() {
    registerAsCurrentPage();
    if (!model_) return true;
    model_->activate();
    render();
    return true;
}

bool WalkPage::onKillActive() {
    if (model_) model_->deactivate();
    timer_.stop();
    return true;
}

QString WalkPage::leaveQuestion() const {
    return model_ ? QString::fromStdString(model_->leaveQuestion()) : QString();
}

// The user chose Exit and stayed: the page reads again, its walk untouched.
void WalkPage::onExitCancelled() {
    if (!model_) return;
    registerAsCurrentPage();
    model_->resume();
    render();
}

void WalkPage::tick() {
    if (!model_) return;
    model_->tick();
    render();
}

void WalkPage::onWorkerEvent(int code, int detail) {
    if (!model_) return;
    model_->onWorkerEvent(code, detail);
    render();
}

void WalkPage::render() {
    if (!model_) return;
    const WalkView& v = model_->view();
    view_->render(v);
    if (v.timerRunning && !timer_.isActive()) timer_.start();
    if (!v.timerRunning) timer_.stop();
    if (v.writePending) {
        QTimer::singleShot(0, this, [this] {
            model_->runPendingWrite();
            render();
        });
    }
    if (v.followUpPending) {
        QTimer::singleShot(0, this, [this] {
            model_->runPendingFollowUp();
            render();
        });
    }
}

// The Setup dialog edits the options it owns itself; the page takes back the
// continuous read flag and the two tolerances, then starts again.
void WalkPage::onSetup() {
    if (!model_) return;
    if (!setup_) setup_ = new CCalSetupDlg(context_, this);
    const bool continuous =
        context_.state->locked([](const SharedData& d) { return d.settings.continuousReadOn; });
    setup_->setContinuousRead(continuous);
    setup_->setTolerances(context_.copies->rangeErrorCal, context_.copies->rangeErrorCalTest);
    if (setup_->exec() == QDialog::Accepted) {
        model_->setupAccepted(setup_->continuousRead(), setup_->calTolerance(),
                              setup_->calTestTolerance());
    }
    render();
}

}  // namespace clinora
