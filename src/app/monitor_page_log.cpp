// The Monitor page's reading log: interval logging and Save Reading.
#include "app/monitor_page_model.h"

namespace clinora {
namespace {

constexpr const char* kLogOpenFailed = "Failed to open log file.";

}  // namespace

void MonitorPageModel::startStop(const std::string& intervalText) {
    if (logging_)
        stopLogging();
    else
        startLogging(intervalText);
}

void MonitorPageModel::startLogging(const std::string& intervalText) {
    const int interval = LogIntervalFromText(intervalText);
    if (interval < kMinLogInterval || interval > kMaxLogInterval) {
        env_.services.message(kIntervalOutOfRange);
        return;
    }
    if (logging_) return;
    const std::string path = logPath();
    view_.logFile = path;
    view_.logFailed = false;
    if (!log_.open(path)) {
        env_.services.message(kLogOpenFailed);
        view_.startEnabled = false;
        return;
    }
    if (!log_.writeHeaderIfEmpty()) {
        log_.close();
        logWriteFailed(log_.failure());
        return;
    }
    view_.logTimerMs = interval * 1000;
    view_.intervalEnabled = false;
    logging_ = true;
    rowsStarted_ = false;
    view_.startText = "Stop";
    view_.saveEnabled = false;
    view_.saveStatus = " ";
}

void MonitorPageModel::stopLogging() {
    if (!logging_) return;
    view_.intervalEnabled = true;
    view_.logTimerMs = 0;
    log_.close();
    logging_ = false;
    view_.startText = "Start";
    view_.saveEnabled = !saving();
    view_.logging = {Shade::White, "not logging"};
}

LogReading MonitorPageModel::readingForLog(const LocalDateTime& time) const {
    LogReading r;
    env_.state.locked([&](const SharedData& d) {
        r.serial = d.readings.serialNumber;
        r.deviceUnits = d.readings.unitsLabel;
    });
    r.temperature = readout_.temperature();
    r.axisA = readout_.axisA();
    r.axisB = readout_.axisB();
    r.unit = unitText_;
    r.comment = comment_;
    r.time = time;
    return r;
}

// One line per interval, each on disk at once. Rows start with the first
// interval that has a reading on screen; after that a row while the reading
// is stale keeps the dashes, so the gap shows in the log.
void MonitorPageModel::logTimerFired(int64_t nowMs) {
    if (!logging_) return;
    checkFreshness(nowMs);
    if (!rowsStarted_ && !link_.readingShown()) return;
    rowsStarted_ = true;
    if (!log_.writeLine(FormatLogLine(readingForLog(env_.localTime()), true)))
        logWriteFailed(log_.failure());
}

void MonitorPageModel::logWriteFailed(const std::string& reason) {
    const std::string text = LogWriteFailureText(logPath(), reason);
    stopLogging();
    view_.logFile = text;
    view_.logFailed = true;
    env_.services.message(text);
}

// Save Reading shows its progress marks "O", "o", "." and "Saved" half a
// second apart, on the page's timer so the window stays responsive; the
// button stays disabled until the save is over.
void MonitorPageModel::saveReading(const std::string& labelText) {
    if (saving()) return;
    const std::string path = logPath();
    view_.logFile = path;
    view_.logFailed = false;
    if (!saveLog_.open(path)) {
        env_.services.message(kLogOpenFailed);
        view_.saveStatus = "X";
        return;
    }
    if (const auto problem = CommentProblem(labelText)) {
        saveLog_.close();
        env_.services.message(*problem);
        return;
    }
    comment_ = labelText;
    view_.saveStatus = "O";
    view_.saveEnabled = false;
    saveStep_ = 1;
    view_.saveStepPending = true;
}

void MonitorPageModel::continueSave(int64_t nowMs) {
    view_.saveStepPending = false;
    switch (saveStep_) {
        case 1:
            if (!saveLog_.writeHeaderIfEmpty()) {
                saveLog_.close();
                endSave("X");
                logWriteFailed(saveLog_.failure());
                return;
            }
            saveTime_ = env_.localTime();
            view_.saveStatus = "o";
            saveStep_ = 2;
            view_.saveStepPending = true;
            return;
        case 2: {
            checkFreshness(nowMs);
            const bool written =
                saveLog_.writeLine(FormatLogLine(readingForLog(saveTime_), !comment_.empty()));
            saveLog_.close();
            if (!written) {
                endSave("X");
                logWriteFailed(saveLog_.failure());
                return;
            }
            view_.saveStatus = ".";
            saveStep_ = 3;
            view_.saveStepPending = true;
            return;
        }
        case 3:
            endSave("Saved");
            return;
        default:
            return;
    }
}

void MonitorPageModel::endSave(const std::string& status) {
    view_.saveStatus = status;
    saveStep_ = 0;
    view_.saveEnabled = view_.startEnabled && !logging_;
}

}  // namespace clinora
