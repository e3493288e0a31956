#include "app/monitor_page_model.h"

#include <tuple>

#include "app/app_settings.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"

namespace clinora {
namespace {

constexpr const char* kUsbFailedAtStart =
    "USB connection failed.\nCheck connection and click Connect.";
constexpr const char* kUsbFailedOnReconnect =
    "USB connection failed.\nCheck connection and click Reset.";
constexpr const char* kLeaveWhileLogging = "Leaving stops logging. Leave?";

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

}  // namespace

MonitorPageModel::MonitorPageModel(MonitorEnvironment environment)
    : env_(std::move(environment)) {
    if (!env_.localTime) env_.localTime = SystemLocalTime;
}

bool MonitorPageModel::calibrationMode() const {
    return env_.state.locked([](const SharedData& d) { return d.settings.calibrationMode; });
}

std::string MonitorPageModel::serialNumber() const {
    return env_.state.locked([](const SharedData& d) { return d.readings.serialNumber; });
}

std::string MonitorPageModel::logPath() const { return env_.files.path(env_.copies.logFileName); }

bool MonitorPageModel::submit(uint32_t code) {
    WorkerRequest request;
    request.code = code;
    request.record = request_;
    return env_.services.submit(request);
}

std::optional<std::string> MonitorPageModel::leaveQuestion() const {
    if (logging_) return kLeaveWhileLogging;
    return std::nullopt;
}

// --- first display and activation ----------------------------------------------

// Once, before the page is first shown.
void MonitorPageModel::firstDisplay() {
    firstDisplayDone_ = true;
    view_.firstDisplayDone = true;
    view_.unitsLabel = " ";
    view_.tilt = MonitorReadout::kNoTilt;
    view_.temperature = MonitorReadout::kNoTemperature;
    comment_.clear();
    readout_.reset();
    view_.deviceSn = "--";
    view_.statusMessage = " ";
    view_.port = {Shade::Red, kPortClosed};
    view_.status = {Shade::Red, kNotReading};
    view_.logFile = logPath();
    env_.state.locked([](SharedData& d) {
        if (d.worker.comPortNumber < 0 || d.worker.comPortNumber > 1) d.worker.comPortNumber = 0;
    });
    if (env_.settings) {
        env_.settings->update([](SettingsValues& v) {
            if (v.deviceChoice < 0 || v.deviceChoice > 2) v.deviceChoice = 0;
        });
    }

    // The port is closed before the worker may open it with the port found below.
    env_.state.port().Close();
    const int port = env_.searchAdapter ? env_.searchAdapter() : -1;
    bool opensAnyway = false;
    if (port < 0) {
        env_.services.message(kUsbFailedAtStart);
    } else {
        // A worker still waiting to open its first port opens this one at its
        // next attempt; a connect request would only cost it a pass.
        opensAnyway = env_.state.locked([port](SharedData& d) {
            d.worker.comPortNumber = port;
            d.worker.usbPortFound = true;
            return d.worker.state == kStateOpen && !d.worker.portOpen &&
                   !d.worker.requestPending;
        });
        view_.port = {Shade::PaleYellow, kPortAdapterFound};
    }
    view_.startText = "Start";
    if (!opensAnyway) submit(kConnectRequest);
}

void MonitorPageModel::activate() {
    const bool returning = firstDisplayDone_;
    if (!firstDisplayDone_) firstDisplay();
    view_.axisA = env_.state.locked([](const SharedData& d) { return d.settings.axisSelector; }) == 1;
    fillUnitSelector();
    view_.logging = {Shade::White, kNotLogging};
    logging_ = false;
    view_.saveStatus = " ";
    setInterval(std::to_string(env_.copies.logInterval));
    // Other pages leave the worker stopped or busy with their own work;
    // coming back resumes reading the board on the line.
    if (returning) restartReading();
    view_.freshnessRunning = true;
}

void MonitorPageModel::setInterval(const std::string& text) {
    view_.interval = text;
    ++view_.intervalSet;
}

void MonitorPageModel::fillUnitSelector() {
    const bool calibration = calibrationMode();
    const int degreesFlag =
        env_.state.locked([](const SharedData& d) { return d.settings.monitorUnitsUser; });
    const UnitActivation units = UnitsOnActivation(calibration, degreesFlag);
    view_.unitEntries = UnitEntries(calibration);
    view_.unitSelection = units.entry;
    env_.state.locked([&](SharedData& d) { d.settings.monitorUnits = units.readingType; });
    unitText_ = units.label;
    view_.unitsLabel = units.label;
}

void MonitorPageModel::deactivate(const std::string& intervalText) {
    restartWanted_ = false;
    link_.readingWithdrawn();
    showNoReading();
    submit(kStopRequest);
    const UnitChoice choice = UnitForEntry(calibrationMode(), view_.unitSelection);
    const int degreesFlag = env_.state.locked([&](SharedData& d) {
        if (choice.readingType) d.settings.monitorUnits = *choice.readingType;
        if (choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
        return d.settings.monitorUnitsUser;
    });
    env_.copies.logInterval = LogIntervalFromText(intervalText);
    if (env_.settings) {
        env_.settings->update([&](SettingsValues& v) { v.monitorUnitsUser = degreesFlag; });
    }
    stopLogging();
    view_.startEnabled = false;
    view_.saveEnabled = false;
    view_.freshnessRunning = false;
}

// Asks the worker to start reading afresh: it resets, sets the reading units
// and reads again. Readings taken before are not shown.
bool MonitorPageModel::restartReading() {
    // Refused while another request is pending (the Exit page's, say): asked
    // again at the next word from the worker, so the readings do come back.
    restartWanted_ = !submit(kStopRequest);
    if (restartWanted_) return false;
    link_.restartRequested();
    showNoReading();
    showLinkText();
    return true;
}

// Dashes in the read-outs until the next reading is shown.
void MonitorPageModel::showNoReading() {
    readout_.reset();
    view_.tilt = MonitorReadout::kNoTilt;
    view_.temperature = MonitorReadout::kNoTemperature;
}

void MonitorPageModel::showLinkText() {
    const std::string text = link_.statusText();
    if (!text.empty()) view_.statusMessage = text;
}

// --- the user's choices ------------------------------------------------------------

void MonitorPageModel::chooseUnit(int entry) {
    view_.unitSelection = entry;
    const bool calibration = calibrationMode();
    const UnitChoice choice = UnitForEntry(calibration, entry);
    const std::string deviceUnits = env_.state.locked([&](SharedData& d) {
        if (choice.readingType) d.settings.monitorUnits = *choice.readingType;
        if (choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
        return d.readings.unitsLabel;
    });
    unitText_ = choice.label;
    // The value on screen is in the old unit: it goes until one in the new
    // unit arrives.
    showNoReading();
    if (calibration) {
        view_.unitsLabel = choice.label;
        // The boards take a new reading type when the worker sets the units,
        // which it does when it starts reading afresh.
        if (!restartReading()) link_.unitChanged();
    } else {
        view_.unitsLabel = TiltLabel(choice.label, view_.axisA, deviceUnits);
        link_.unitChanged();
    }
}

void MonitorPageModel::chooseAxis(bool axisA) {
    view_.axisA = axisA;
    env_.state.locked([axisA](SharedData& d) { d.settings.axisSelector = axisA ? 1 : 0; });
}

void MonitorPageModel::reconnect() {
    const int port = env_.searchAdapter ? env_.searchAdapter() : -1;
    if (port < 0) {
        view_.statusMessage = kNoAdapterText;
        env_.services.message(kUsbFailedOnReconnect);
        return;
    }
    PostConnectRequest(env_.state, port, true);
}

// --- the worker's word ---------------------------------------------------------------

// Brings the read-outs up to date with the worker's last reading.
void MonitorPageModel::refresh() {
    if (!logging_)
        view_.logging = {Shade::White, kNotLogging};
    else
        view_.logging = {view_.logging.colour == Shade::Red ? Shade::White : Shade::Red, kLogging};
    const bool calibration = calibrationMode();
    const UnitChoice choice = UnitForEntry(calibration, view_.unitSelection);
    const auto [a, b, t, deviceUnits] = env_.state.locked([&](SharedData& d) {
        if (!calibration && choice.degreesFlag) d.settings.monitorUnitsUser = *choice.degreesFlag;
        return std::make_tuple(d.readings.axisA, d.readings.axisB, d.readings.temperature,
                               d.readings.unitsLabel);
    });
    readout_.take(a, b, t);
    unitText_ = choice.label;
    view_.tilt = readout_.tilt(view_.axisA);
    view_.unitsLabel = TiltLabel(unitText_, view_.axisA, deviceUnits);
    view_.temperature = readout_.temperature();
}

// A reading older than the worker's reading cycle is not shown (or logged)
// as the current one: the read-outs go back to dashes and the status line
// says why.
void MonitorPageModel::checkFreshness(int64_t nowMs) {
    if (!link_.stale(nowMs)) return;
    link_.readingWithdrawn();
    showNoReading();
    view_.status = {Shade::PaleYellow, kNoNewReading};
    showLinkText();
}

void MonitorPageModel::onPortStatus(int status) {
    if (restartWanted_) restartReading();
    std::string failure;
    const SerialPort& port = env_.state.port();
    link_.setDevicePath(port.lastPath());
    if (status == kPortOpenFailed) failure = PortFailureText(port.lastPath(), port.lastError());
    link_.onPortStatus(status, failure);
    showLinkText();
}

void MonitorPageModel::setRequestButtons(bool enabled) {
    view_.startEnabled = enabled;
    view_.saveEnabled = enabled && !logging_ && !saving();
}

bool MonitorPageModel::onWorkerEvent(int code, int detail, int64_t nowMs) {
    checkFreshness(nowMs);
    if (restartWanted_) restartReading();
    link_.setDevicePath(env_.state.port().lastPath());
    const MonitorLink::Outcome outcome = link_.onEvent(code, detail, nowMs);
    if (outcome.forgetSerial) {
        // Until the identity of the board that answered has been read, no
        // serial number is shown or logged: the one known may be another board's.
        env_.state.locked([](SharedData& d) { d.readings.serialNumber.clear(); });
    }
    bool shown = false;
    switch (code) {
        case kEventPortOpen:
            readout_.reset();
            if (detail == 1) view_.deviceSn = " ";
            refresh();
            view_.port = detail == 1 ? IndicatorView{Shade::PaleYellow, kPortOpen}
                                     : IndicatorView{Shade::Red, kPortClosed};
            view_.status = {Shade::Red, kNotReading};
            break;
        case kEventSingleReading:
            if (detail == 1) {
                if (!outcome.show) break;
                refresh();
                shown = true;
                setRequestButtons(true);
                view_.status = {Shade::Green, kReading};
                if (env_.logAtStart > 0 && !loggedAtStart_) {
                    // Asked for on the command line: logging as if Start were pressed.
                    loggedAtStart_ = true;
                    setInterval(std::to_string(env_.logAtStart));
                    startLogging(view_.interval);
                }
            } else {
                view_.startEnabled = false;
                view_.saveEnabled = false;
                view_.status = {Shade::PaleYellow, kNoAnswer};
                readout_.reset();
                refresh();
            }
            break;
        case kEventAddressQuery: {
            readout_.reset();
            refresh();
            const bool found = detail == 1;
            view_.port = found ? IndicatorView{Shade::Green, kPortBoardFound}
                               : IndicatorView{Shade::Red, kNoAnswer};
            view_.deviceSn = found ? serialNumber() : " ";
            break;
        }
        case kEventDeviceInfo:
            if (outcome.serialKnown) view_.deviceSn = serialNumber();
            break;
        default:
            break;
    }
    fetchIdentityOrResume(outcome.next);
    showLinkText();
    return shown;
}

void MonitorPageModel::fetchIdentityOrResume(MonitorLink::Next next) {
    if (next == MonitorLink::Next::FetchIdentity) {
        // The first reading is on screen: now the identity of the board that
        // answered (unless another page has read it meanwhile), then back to
        // reading it.
        if (const std::string serial = serialNumber(); !serial.empty()) {
            view_.deviceSn = serial;
            link_.identityKnown();
        } else {
            request_.targetAddress =
                env_.state.locked([](const SharedData& d) { return d.readings.foundAddress; });
            link_.identityRequested(submit(kDeviceInfoRequest));
        }
    } else if (next == MonitorLink::Next::ResumeReading) {
        restartReading();
    }
}

}  // namespace clinora
