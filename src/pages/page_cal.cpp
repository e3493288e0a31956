#include "pages/page_cal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "app/cal_page_model.h"
#include "pages/qt_page_services.h"
#include "pages/walk_page_view.h"

namespace clinora {

namespace {

WalkEnvironment Environment(PageContext& context, PageServices& services) {
    return {*context.state, *context.copies, *context.files, *context.session, services, {}};
}

}  // namespace

CPageCal::CPageCal(PageContext& context, QWidget* parent)
    : SheetPage("Cal", context, parent),
      services_(std::make_unique<QtPageServices>(context)),
      view_(std::make_unique<WalkPageView>(this, true)) {
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    if (context.state && context.copies && context.files && context.session)
        model_ = std::make_unique<CalPageModel>(Environment(context, *services_));
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CPageCal::tick);
    connectControls();
}

CPageCal::~CPageCal() = default;

void CPageCal::connectControls() {
    WalkPageView& v = *view_;
    const auto act = [this](auto action) {
        return [this, action] {
            if (!model_) return;
            action(*model_);
            render();
        };
    };
    connect(v.accept, &QPushButton::clicked, this, act([](CalPageModel& m) { m.accept(); }));
    connect(v.back, &QPushButton::clicked, this, act([](CalPageModel& m) { m.back(); }));
    connect(v.init, &QPushButton::clicked, this, act([](CalPageModel& m) { m.init(); }));
    connect(v.write, &QPushButton::clicked, this, act([](CalPageModel& m) { m.writeFiles(); }));
    connect(v.send, &QPushButton::clicked, this, act([](CalPageModel& m) { m.send(); }));
    connect(v.upload, &QPushButton::clicked, this, act([](CalPageModel& m) { m.upload(); }));
    connect(v.verify, &QPushButton::clicked, this, act([](CalPageModel& m) { m.verify(); }));
    connect(v.axisA, &QRadioButton::clicked, this,
            act([](CalPageModel& m) { m.chooseAxis(true); }));
    connect(v.axisB, &QRadioButton::clicked, this,
            act([](CalPageModel& m) { m.chooseAxis(false); }));
    connect(v.negA, &QCheckBox::clicked, this, [this](bool on) {
        if (model_) model_->setNegate(true, on);
    });
    connect(v.negB, &QCheckBox::clicked, this, [this](bool on) {
        if (model_) model_->setNegate(false, on);
    });
    connect(v.boards, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (model_) model_->selectBoard(index);
    });
    connect(v.setup, &QPushButton::clicked, this, &CPageCal::onSetup);
    connect(v.read, &QPushButton::clicked, this, &CPageCal::onRead);
}

bool CPageCal::onSetActive() {
    registerAsCurrentPage();
    if (!model_) return true;
    model_->activate();
    render();
    return true;
}

bool CPageCal::onKillActive() {
    if (model_) model_->deactivate();
    timer_.stop();
    return true;
}

void CPageCal::onWorkerEvent(int code, int detail) {
    if (!model_) return;
    model_->onWorkerEvent(code, detail);
    render();
}

void CPageCal::tick() {
    if (!model_) return;
    model_->tick();
    render();
}

void CPageCal::render() {
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
}

void CPageCal::onSetup() {}

void CPageCal::onRead() {}

}  // namespace clinora
