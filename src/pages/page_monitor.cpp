#include "pages/page_monitor.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/app_files.h"
#include "app/app_settings.h"
#include "app/page_copies.h"
#include "gui/colour_box.h"
#include "gui/notifier.h"
#include "gui/spin_edit.h"
#include "link/clock.h"
#include "link/shared_state.h"
#include "link/usb_search.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "pages/monitor_trend.h"

namespace clinora {
namespace {

constexpr const char* kUsbFailedAtStart =
    "USB connection failed.\nCheck connection and click Connect.";
constexpr const char* kUsbFailedOnReconnect =
    "USB connection failed.\nCheck connection and click Reset.";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// What the indicators' colours mean, in words for screen readers.
constexpr const char* kPortClosed = "closed";
constexpr const char* kPortAdapterFound = "adapter found";
constexpr const char* kPortOpen = "open";
constexpr const char* kPortBoardFound = "board found";
constexpr const char* kNoAnswer = "no answer";
constexpr const char* kNotReading = "not reading";
constexpr const char* kReading = "reading";
constexpr const char* kLogging = "logging";
constexpr const char* kNotLogging = "not logging";
constexpr const char* kNoNewReading = "no new reading";

Clock& DefaultClock() {
    static RealClock clock;
    return clock;
}

}  // namespace

CPageMonitor::CPageMonitor(PageContext& context, QWidget* parent)
    : SheetPage("Monitor", context, parent),
      adapterSearch_(&FindUsbSerialPort),
      clock_(&DefaultClock()) {
    buildView();
    freshness_.setInterval(kFreshnessCheckMs);
    connect(&freshness_, &QTimer::timeout, this, &CPageMonitor::withdrawStaleReading);
    connect(&logTimer_, &QTimer::timeout, this, &CPageMonitor::writeLogLine);
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveStepMs);
    connect(&saveTimer_, &QTimer::timeout, this, &CPageMonitor::continueSave);
}

CPageMonitor::~CPageMonitor() = default;

bool CPageMonitor::calibrationMode() const {
    return context_.state &&
           context_.state->locked([](const SharedData& d) { return d.settings.calibrationMode; });
}

int CPageMonitor::searchAdapter() {
    if (!context_.state || !adapterSearch_) return -1;
    return adapterSearch_(context_.state->port());
}

// Once, before the page is first shown.
void CPageMonitor::firstDisplay() {
    firstDisplayDone_ = true;
    unitsLabel_->setText(" ");
    tiltReadout_->setText(MonitorReadout::kNoTilt);
    temperatureReadout_->setText(MonitorReadout::kNoTemperature);
    comment_.clear();
    label_->clear();
    resetShownTexts();
    deviceSn_->setText("--");
    deviceSn_->setBackground(colours::kLightGrey);
    deviceSn_->setTextColour(Qt::black);
    statusMessage_->setText(" ");
    statusMessage_->setBackground(colours::kLightGrey);
    statusMessage_->setTextColour(Qt::black);
    portIndicator_->setState(colours::kRed, kPortClosed);
    statusIndicator_->setState(colours::kRed, kNotReading);
    if (!context_.state) return;
    SharedState& state = *context_.state;
    state.locked([](SharedData& d) {
        if (d.worker.comPortNumber < 0 || d.worker.comPortNumber > 1) d.worker.comPortNumber = 0;
    });
    if (context_.settings) {
        context_.settings->update([](SettingsValues& v) {
            if (v.deviceChoice < 0 || v.deviceChoice > 2) v.deviceChoice = 0;
        });
    }

    // The port is closed before the worker may open it with the port found below.
    state.port().Close();
    const int port = searchAdapter();
    bool opensAnyway = false;
    if (port < 0) {
        if (context_.notifier) context_.notifier->message(kUsbFailedAtStart);
    } else {
        // A worker still waiting to open its first port opens this one at its
        // next attempt; a connect request would only cost it a pass.
        opensAnyway = state.locked([port](SharedData& d) {
            d.worker.comPortNumber = port;
            d.worker.usbPortFound = true;
            return d.worker.state == kStateOpen && !d.worker.portOpen &&
                   !d.worker.requestPending;
        });
        portIndicator_->setState(colours::kPaleYellow, kPortAdapterFound);
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    startStop_->setText("Start");
    interval_->setRange(kMinLogInterval, kMaxLogInterval);
    if (!opensAnyway) PostRequest(state, request_, kConnectRequest);
    QApplication::restoreOverrideCursor();
}

bool CPageMonitor::onSetActive() {
    const bool returning = firstDisplayDone_;
    if (!firstDisplayDone_) firstDisplay();
    registerAsCurrentPage();
    int axisFlag = 1;
    const int interval = context_.copies ? context_.copies->logInterval : kMinLogInterval;
    if (context_.state) {
        axisFlag =
            context_.state->locked([](const SharedData& d) { return d.settings.axisSelector; });
    }
    (axisFlag == 1 ? axisA_ : axisB_)->setChecked(true);
    fillUnitSelector();
    loggingIndicator_->setState(colours::kWhite, kNotLogging);
    logging_ = false;
    saveStatus_->setText(" ");
    interval_->setText(QString::number(interval));
    // Other pages leave the worker stopped or busy with their own work;
    // coming back resumes reading the board on the line.
    if (returning) restartReading();
    freshness_.start();
    return true;
}

void CPageMonitor::onExitCancelled() { onSetActive(); }

// Asks the worker to start reading afresh: it resets, sets the reading units
// and reads again. Readings taken before are not shown.
bool CPageMonitor::restartReading() {
    if (!context_.state) return false;
    // Refused while another request is pending (the Exit page's, say): asked
    // again at the next word from the worker, so the readings do come back.
    restartWanted_ = !PostRequest(*context_.state, request_, kStopRequest);
    if (restartWanted_) return false;
    link_.restartRequested();
    showNoReading();
    showLinkText();
    return true;
}

// Dashes in the read-outs until the next reading is shown.
void CPageMonitor::showNoReading() {
    resetShownTexts();
    tiltReadout_->setText(MonitorReadout::kNoTilt);
    temperatureReadout_->setText(MonitorReadout::kNoTemperature);
}

void CPageMonitor::fillUnitSelector() {
    const bool calibration = calibrationMode();
    int degreesFlag = 0;
    if (context_.state) {
        degreesFlag =
            context_.state->locked([](const SharedData& d) { return d.settings.monitorUnitsUser; });
    }
    const UnitActivation units = UnitsOnActivation(calibration, degreesFlag);
    {
        const QSignalBlocker block(unitSelector_);
        unitSelector_->clear();
        for (const auto& entry : UnitEntries(calibration)) unitSelector_->addItem(Q(entry));
        unitSelector_->setCurrentIndex(units.entry);
    }
    if (context_.state) {
        context_.state->locked([&](SharedData& d) { d.settings.monitorUnits = units.readingType; });
    }
    unitText_ = units.label;
    unitsLabel_->setText(Q(units.label));
}

bool CPageMonitor::onKillActive() {
    restartWanted_ = false;
    link_.readingWithdrawn();
    showNoReading();
    if (context_.state) {
        SharedState& state = *context_.state;
        PostRequest(state, request_, kStopRequest);
        const UnitChoice choice = UnitForEntry(calibrationMode(), unitSelector_->currentIndex());
        const int interval = LogIntervalFromText(interval_->text().trimmed().toStdString());
        const int degreesFlag = state.locked([&](SharedData& d) {
            if (choice.readingType) d.settings.monitorUnits = *choice.readingType;
            if (choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
            return d.settings.monitorUnitsUser;
        });
        if (context_.copies) context_.copies->logInterval = interval;
        if (context_.settings) {
            context_.settings->update([&](SettingsValues& v) { v.monitorUnitsUser = degreesFlag; });
        }
    }
    stopLogging();
    startStop_->setEnabled(false);
    saveReading_->setEnabled(false);
    return true;
}

void CPageMonitor::onUnitChanged(int entry) {
    if (!context_.state) return;
    const bool calibration = calibrationMode();
    const UnitChoice choice = UnitForEntry(calibration, entry);
    const std::string deviceUnits = context_.state->locked([&](SharedData& d) {
        if (choice.readingType) d.settings.monitorUnits = *choice.readingType;
        if (choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
        return d.readings.unitsLabel;
    });
    unitText_ = choice.label;
    // The value on screen is in the old unit: it goes until one in the new
    // unit arrives.
    showNoReading();
    if (calibration) {
        unitsLabel_->setText(Q(choice.label));
        // The boards take a new reading type when the worker sets the units,
        // which it does when it starts reading afresh.
        if (!restartReading()) link_.unitChanged();
    } else {
        unitsLabel_->setText(Q(TiltLabel(choice.label, axisA_->isChecked(), deviceUnits)));
        link_.unitChanged();
    }
}

void CPageMonitor::onAxisChosen(bool axisA) {
    if (!context_.state) return;
    context_.state->locked([axisA](SharedData& d) { d.settings.axisSelector = axisA ? 1 : 0; });
}

void CPageMonitor::onReconnect() {
    if (!context_.state) return;
    const int port = searchAdapter();
    if (port < 0) {
        statusMessage_->setText(kNoAdapterText);
        if (context_.notifier) context_.notifier->message(kUsbFailedOnReconnect);
        return;
    }
    PostConnectRequest(*context_.state, port, true);
}

// Brings the read-outs up to date with the worker's last reading.
void CPageMonitor::refresh() {
    if (!logging_)
        loggingIndicator_->setState(colours::kWhite, kNotLogging);
    else
        loggingIndicator_->setState(
            loggingIndicator_->background() == colours::kRed ? colours::kWhite : colours::kRed,
            kLogging);
    if (!context_.state) return;
    const bool calibration = calibrationMode();
    const UnitChoice choice = UnitForEntry(calibration, unitSelector_->currentIndex());
    const auto [a, b, t, deviceUnits] = context_.state->locked([&](SharedData& d) {
        if (!calibration && choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
        return std::make_tuple(d.readings.axisA, d.readings.axisB, d.readings.temperature,
                               d.readings.unitsLabel);
    });
    readout_.take(a, b, t);
    unitText_ = choice.label;
    const bool showA = axisA_->isChecked();
    tiltReadout_->setText(Q(readout_.tilt(showA)));
    unitsLabel_->setText(Q(TiltLabel(unitText_, showA, deviceUnits)));
    temperatureReadout_->setText(Q(readout_.temperature()));
}

// A reading older than the worker's reading cycle is not shown (or logged)
// as the current one: the read-outs go back to dashes and the status line
// says why.
void CPageMonitor::withdrawStaleReading() {
    if (!link_.stale(clock_->nowMs())) return;
    link_.readingWithdrawn();
    showNoReading();
    statusIndicator_->setState(colours::kPaleYellow, kNoNewReading);
    showLinkText();
}

void CPageMonitor::showLinkText() {
    const std::string text = link_.statusText();
    if (!text.empty()) statusMessage_->setText(Q(text));
}

void CPageMonitor::onPortStatus(int status) {
    if (restartWanted_) restartReading();
    std::string failure;
    if (context_.state) {
        const SerialPort& port = context_.state->port();
        link_.setDevicePath(port.lastPath());
        if (status == kPortOpenFailed) failure = PortFailureText(port.lastPath(), port.lastError());
    }
    link_.onPortStatus(status, failure);
    showLinkText();
}

void CPageMonitor::setRequestButtons(bool enabled) {
    startStop_->setEnabled(enabled);
    saveReading_->setEnabled(enabled && !logging_ && !saving());
}

void CPageMonitor::onWorkerEvent(int code, int detail) {
    withdrawStaleReading();
    if (restartWanted_) restartReading();
    if (context_.state) link_.setDevicePath(context_.state->port().lastPath());
    const MonitorLink::Outcome outcome = link_.onEvent(code, detail, clock_->nowMs());
    if (outcome.forgetSerial && context_.state) {
        // Until the identity of the board that answered has been read, no
        // serial number is shown or logged: the one known may be another board's.
        context_.state->locked([](SharedData& d) { d.readings.serialNumber.clear(); });
    }
    switch (code) {
        case kEventPortOpen:
            resetShownTexts();
            if (detail == 1) deviceSn_->setText(" ");
            refresh();
            if (detail == 1)
                portIndicator_->setState(colours::kPaleYellow, kPortOpen);
            else
                portIndicator_->setState(colours::kRed, kPortClosed);
            statusIndicator_->setState(colours::kRed, kNotReading);
            break;
        case kEventSingleReading:
            if (detail == 1) {
                if (!outcome.show) break;
                refresh();
                trend_->addReading(readout_.axisA(), readout_.axisB(), readout_.temperature(),
                                   unitText_);
                setRequestButtons(true);
                statusIndicator_->setState(colours::kGreen, kReading);
                if (context_.logAtStart > 0 && !loggedAtStart_) {
                    // Asked for on the command line: logging as if Start were pressed.
                    loggedAtStart_ = true;
                    interval_->setText(QString::number(context_.logAtStart));
                    startLogging();
                }
            } else {
                startStop_->setEnabled(false);
                saveReading_->setEnabled(false);
                statusIndicator_->setState(colours::kPaleYellow, kNoAnswer);
                resetShownTexts();
                refresh();
            }
            break;
        case kEventAddressQuery: {
            resetShownTexts();
            refresh();
            const bool found = detail == 1;
            if (found)
                portIndicator_->setState(colours::kGreen, kPortBoardFound);
            else
                portIndicator_->setState(colours::kRed, kNoAnswer);
            deviceSn_->setText(found ? Q(serialNumber()) : " ");
            break;
        }
        case kEventDeviceInfo:
            if (outcome.serialKnown) deviceSn_->setText(Q(serialNumber()));
            break;
        default:
            break;
    }
    if (outcome.next == MonitorLink::Next::FetchIdentity && context_.state) {
        // The first reading is on screen: now the identity of the board that
        // answered (unless another page has read it meanwhile), then back to
        // reading it.
        if (const std::string serial = serialNumber(); !serial.empty()) {
            deviceSn_->setText(Q(serial));
            link_.identityKnown();
        } else {
            request_.targetAddress = context_.state->locked(
                [](const SharedData& d) { return d.readings.foundAddress; });
            link_.identityRequested(PostRequest(*context_.state, request_, kDeviceInfoRequest));
        }
    } else if (outcome.next == MonitorLink::Next::ResumeReading) {
        restartReading();
    }
    showLinkText();
}

std::string CPageMonitor::serialNumber() const {
    if (!context_.state) return {};
    return context_.state->locked([](const SharedData& d) { return d.readings.serialNumber; });
}

std::string CPageMonitor::logPath() const {
    const std::string name = context_.copies ? context_.copies->logFileName : std::string();
    return context_.files ? context_.files->path(name) : name;
}

}  // namespace clinora
