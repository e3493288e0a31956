#include "pages/page_monitor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "gui/colour_box.h"
#include "gui/spin_edit.h"
#include "link/clock.h"
#include "link/shared_state.h"
#include "link/usb_search.h"
#include "pages/monitor_trend.h"
#include "pages/qt_page_services.h"

namespace clinora {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

Clock& DefaultClock() {
    static RealClock clock;
    return clock;
}

}  // namespace

CPageMonitor::CPageMonitor(PageContext& context, QWidget* parent)
    : SheetPage("Monitor", context, parent),
      services_(std::make_unique<QtPageServices>(context)),
      adapterSearch_(&FindUsbSerialPort),
      clock_(&DefaultClock()) {
    buildView();
    if (context.state && context.copies && context.files) {
        model_ = std::make_unique<MonitorPageModel>(MonitorEnvironment{
            *context.state, context.settings, *context.copies, *context.files, *services_,
            [this] { return adapterSearch_ ? adapterSearch_(context_.state->port()) : -1; },
            context.logAtStart});
    }
    connectControls();
    freshness_.setInterval(kFreshnessCheckMs);
    connect(&freshness_, &QTimer::timeout, this,
            [this] { step([this](MonitorPageModel& m) { m.checkFreshness(nowMs()); }); });
    connect(&logTimer_, &QTimer::timeout, this,
            [this] { step([this](MonitorPageModel& m) { m.logTimerFired(nowMs()); }); });
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveStepMs);
    connect(&saveTimer_, &QTimer::timeout, this,
            [this] { step([this](MonitorPageModel& m) { m.continueSave(nowMs()); }); });
}

CPageMonitor::~CPageMonitor() = default;

void CPageMonitor::connectControls() {
    connect(unitSelector_, &QComboBox::currentIndexChanged, this,
            [this](int entry) { step([entry](MonitorPageModel& m) { m.chooseUnit(entry); }); });
    connect(axisA_, &QRadioButton::clicked, this,
            [this] { step([](MonitorPageModel& m) { m.chooseAxis(true); }); });
    connect(axisB_, &QRadioButton::clicked, this,
            [this] { step([](MonitorPageModel& m) { m.chooseAxis(false); }); });
    connect(startStop_, &QPushButton::clicked, this,
            [this] { step([this](MonitorPageModel& m) { m.startStop(intervalText()); }); });
    connect(saveReading_, &QPushButton::clicked, this, [this] {
        step([this](MonitorPageModel& m) { m.saveReading(label_->text().toStdString()); });
    });
    connect(reconnect_, &QPushButton::clicked, this,
            [this] { step([](MonitorPageModel& m) { m.reconnect(); }); });
}

int64_t CPageMonitor::nowMs() const { return clock_->nowMs(); }

std::string CPageMonitor::intervalText() const {
    return interval_->text().trimmed().toStdString();
}

QString CPageMonitor::leaveQuestion() const {
    const auto question = model_ ? model_->leaveQuestion() : std::nullopt;
    return question ? QString::fromStdString(*question) : QString();
}

bool CPageMonitor::onSetActive() {
    registerAsCurrentPage();
    step([](MonitorPageModel& m) { m.activate(); });
    return true;
}

void CPageMonitor::onExitCancelled() { onSetActive(); }

bool CPageMonitor::onKillActive() {
    step([this](MonitorPageModel& m) { m.deactivate(intervalText()); });
    return true;
}

void CPageMonitor::onPortStatus(int status) {
    step([status](MonitorPageModel& m) { m.onPortStatus(status); });
}

void CPageMonitor::onWorkerEvent(int code, int detail) {
    step([&](MonitorPageModel& m) {
        if (!m.onWorkerEvent(code, detail, nowMs())) return;
        const MonitorReadout& r = m.readout();
        trend_->addReading(r.axisA(), r.axisB(), r.temperature(), m.unitText());
    });
}

void CPageMonitor::render() {
    const MonitorView& v = model_->view();
    tiltReadout_->setText(Q(v.tilt));
    unitsLabel_->setText(Q(v.unitsLabel));
    temperatureReadout_->setText(Q(v.temperature));
    {
        const QSignalBlocker block(unitSelector_);
        QStringList entries;
        for (const std::string& entry : v.unitEntries) entries << Q(entry);
        QStringList shown;
        for (int i = 0; i < unitSelector_->count(); ++i) shown << unitSelector_->itemText(i);
        if (shown != entries) {
            unitSelector_->clear();
            unitSelector_->addItems(entries);
        }
        unitSelector_->setCurrentIndex(v.unitSelection);
    }
    (v.axisA ? axisA_ : axisB_)->setChecked(true);
    if (v.intervalSet != intervalShown_) {
        interval_->setText(Q(v.interval));
        intervalShown_ = v.intervalSet;
    }
    interval_->setEnabled(v.intervalEnabled);
    startStop_->setText(Q(v.startText));
    startStop_->setEnabled(v.startEnabled);
    loggingIndicator_->setState(ColourOf(v.logging.colour), Q(v.logging.meaning));
    saveReading_->setEnabled(v.saveEnabled);
    saveStatus_->setText(Q(v.saveStatus));
    logFile_->setText(Q(v.logFile));
    logFile_->setToolTip(Q(v.logFile));
    logFile_->setState(ColourOf(v.logFailed ? Shade::LightRed : Shade::White),
                       v.logFailed ? "not written" : "");
    deviceSn_->setText(Q(v.deviceSn));
    statusMessage_->setText(Q(v.statusMessage));
    if (v.firstDisplayDone) {
        for (ColourBox* box : {deviceSn_, statusMessage_}) {
            box->setBackground(colours::kLightGrey);
            box->setTextColour(Qt::black);
        }
    }
    portIndicator_->setState(ColourOf(v.port.colour), Q(v.port.meaning));
    statusIndicator_->setState(ColourOf(v.status.colour), Q(v.status.meaning));

    if (v.logTimerMs <= 0) {
        logTimer_.stop();
    } else if (!logTimer_.isActive() || logTimer_.interval() != v.logTimerMs) {
        logTimer_.start(v.logTimerMs);
    }
    if (v.saveStepPending && !saveTimer_.isActive()) saveTimer_.start();
    if (v.freshnessRunning && !freshness_.isActive()) freshness_.start();
    if (!v.freshnessRunning) freshness_.stop();
}

}  // namespace clinora
