// The Monitor page's reading log: interval logging and Save Reading.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/colour_box.h"
#include "gui/notifier.h"
#include "gui/spin_edit.h"
#include "link/shared_state.h"
#include "pages/page_monitor.h"

namespace clinora {
namespace {

constexpr const char* kLogOpenFailed = "Failed to open log file.";

}  // namespace

void CPageMonitor::onStartStop() {
    if (logging_)
        stopLogging();
    else
        startLogging();
}

void CPageMonitor::startLogging() {
    const int interval = LogIntervalFromText(interval_->text().trimmed().toStdString());
    if (interval < kMinLogInterval || interval > kMaxLogInterval) {
        if (context_.notifier) context_.notifier->message(kIntervalOutOfRange);
        return;
    }
    if (logging_) return;
    if (!log_.open(logPath())) {
        if (context_.notifier) context_.notifier->message(kLogOpenFailed);
        startStop_->setEnabled(false);
        return;
    }
    log_.writeHeaderIfEmpty();
    logTimer_.start(interval * 1000);
    interval_->setEnabled(false);
    logging_ = true;
    startStop_->setText("Stop");
    saveReading_->setEnabled(false);
    saveStatus_->setText(" ");
}

void CPageMonitor::stopLogging() {
    if (!logging_) return;
    interval_->setEnabled(true);
    logTimer_.stop();
    log_.close();
    logging_ = false;
    startStop_->setText("Start");
    saveReading_->setEnabled(!saving());
}

LogReading CPageMonitor::readingForLog(const LocalDateTime& time) const {
    LogReading r;
    if (context_.state) {
        context_.state->locked([&](const SharedData& d) {
            r.serial = d.readings.serialNumber;
            r.deviceUnits = d.readings.unitsLabel;
        });
    }
    r.temperature = readout_.temperature();
    r.axisA = readout_.axisA();
    r.axisB = readout_.axisB();
    r.unit = unitText_;
    r.comment = comment_;
    r.time = time;
    return r;
}

// One line per interval; each reaches the file at once.
void CPageMonitor::writeLogLine() {
    if (!logging_) return;
    withdrawStaleReading();
    log_.writeLine(FormatLogLine(readingForLog(SystemLocalTime()), true));
}

// Save Reading shows its progress marks "O", "o", "." and "Saved" half a
// second apart, on a timer so the window stays responsive; the button stays
// disabled until the save is over.
void CPageMonitor::saveReading() {
    if (saving()) return;
    if (!saveLog_.open(logPath())) {
        if (context_.notifier) context_.notifier->message(kLogOpenFailed);
        saveStatus_->setText("X");
        return;
    }
    const std::string comment = label_->text().toStdString();
    if (const auto problem = CommentProblem(comment)) {
        saveLog_.close();
        if (context_.notifier) context_.notifier->message(QString::fromStdString(*problem));
        return;
    }
    comment_ = comment;
    saveStatus_->setText("O");
    saveReading_->setEnabled(false);
    saveStep_ = 1;
    saveTimer_.start();
}

void CPageMonitor::continueSave() {
    switch (saveStep_) {
        case 1:
            saveLog_.writeHeaderIfEmpty();
            saveTime_ = SystemLocalTime();
            saveStatus_->setText("o");
            saveStep_ = 2;
            saveTimer_.start();
            return;
        case 2: {
            withdrawStaleReading();
            const bool written =
                saveLog_.writeLine(FormatLogLine(readingForLog(saveTime_), !comment_.empty()));
            saveLog_.close();
            if (written) {
                saveStatus_->setText(".");
                saveStep_ = 3;
                saveTimer_.start();
                return;
            }
            saveStatus_->setText("X");
            break;
        }
        default:
            saveStatus_->setText("Saved");
            break;
    }
    saveStep_ = 0;
    saveReading_->setEnabled(startStop_->isEnabled() && !logging_);
}

}  // namespace clinora
