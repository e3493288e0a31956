#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_files.h"
#include "app/monitor_display.h"
#include "app/monitor_link.h"
#include "app/page_copies.h"
#include "app/page_services.h"
#include "app/reading_log.h"
#include "app/shade.h"
#include "link/local_time.h"
#include "link/request_record.h"
#include "link/shared_state.h"

namespace clinora {

class AppSettings;

// What the Monitor page model works with.
struct MonitorEnvironment {
    SharedState& state;
    AppSettings* settings;  // the persisted settings; may be null (tests)
    PageCopies& copies;
    const AppFiles& files;
    PageServices& services;
    // The USB adapter search: the adapter's port number, or -1.
    std::function<int()> searchAdapter;
    // Seconds: log from the first reading on, as if Start were pressed (0: no).
    int logAtStart = 0;
    LocalTimeSource localTime = SystemLocalTime;
};

// A coloured indicator and its meaning in words.
struct IndicatorView {
    Shade colour = Shade::White;
    std::string meaning;
};

// Everything the Monitor page shows; the widget only renders it.
struct MonitorView {
    bool firstDisplayDone = false;
    std::string tilt = "0.00";
    std::string unitsLabel = " ";
    std::string temperature = "00.0";
    std::vector<std::string> unitEntries;
    int unitSelection = -1;
    bool axisA = true;
    // The interval box: the widget takes `interval` whenever `intervalSet`
    // changes; in between the text is the user's.
    std::string interval;
    int intervalSet = 0;
    bool intervalEnabled = true;
    std::string startText = "Start";
    bool startEnabled = false;
    IndicatorView logging{Shade::White, "not logging"};
    bool saveEnabled = false;
    std::string saveStatus = " ";
    // The log file's full path, or why it cannot be written.
    std::string logFile;
    bool logFailed = false;
    std::string deviceSn = "Sensor serial";
    IndicatorView port, status;
    std::string statusMessage = "Status message";
    // Timers the widget runs: the log line every logTimerMs (0: stopped), the
    // next Save Reading step after kSaveStepMs, the freshness check.
    int logTimerMs = 0;
    bool saveStepPending = false;
    bool freshnessRunning = false;
};

// The Monitor page's rules, Qt-free: the connect flow's indicators and texts,
// the unit selector, the freshness of the reading on screen, the reading log
// (interval lines and Save Reading) and what leaving the page means. The page
// feeds it activation, worker events, timer ticks and button presses, renders
// view() and runs the timers the view asks for.
class MonitorPageModel {
public:
    // Pauses of Save Reading between its progress marks.
    static constexpr int kSaveStepMs = 500;
    // How often the page checks that the reading on screen is still recent.
    static constexpr int kFreshnessCheckMs = 250;

    explicit MonitorPageModel(MonitorEnvironment environment);

    const MonitorView& view() const { return view_; }
    const MonitorReadout& readout() const { return readout_; }
    // The unit the readings on screen are in, as the log writes it.
    const std::string& unitText() const { return unitText_; }
    bool logging() const { return logging_; }
    bool saving() const { return saveStep_ != 0; }
    // The question to ask before the page is left, when leaving loses work.
    std::optional<std::string> leaveQuestion() const;

    // The page becomes active (the first time also its first display).
    void activate();
    // The page is left; `intervalText` is the interval box's text.
    void deactivate(const std::string& intervalText);
    // A worker event; true when it put a new reading on screen.
    bool onWorkerEvent(int code, int detail, int64_t nowMs);
    void onPortStatus(int status);
    // The freshness timer: a reading gone stale leaves the screen.
    void checkFreshness(int64_t nowMs);
    void chooseUnit(int entry);
    void chooseAxis(bool axisA);
    void reconnect();

    // The reading log.
    void startStop(const std::string& intervalText);
    void logTimerFired(int64_t nowMs);
    void saveReading(const std::string& labelText);
    void continueSave(int64_t nowMs);

private:
    void firstDisplay();
    void fillUnitSelector();
    void setInterval(const std::string& text);
    bool restartReading();
    void showNoReading();
    void showLinkText();
    void refresh();
    void setRequestButtons(bool enabled);
    void fetchIdentityOrResume(MonitorLink::Next next);
    bool calibrationMode() const;
    std::string serialNumber() const;
    std::string logPath() const;
    bool submit(uint32_t code);

    void startLogging(const std::string& intervalText);
    void stopLogging();
    LogReading readingForLog(const LocalDateTime& time) const;
    // A write to the log failed: said on the page and in a box; logging stops
    // and what was written stays.
    void logWriteFailed(const std::string& reason);
    void endSave(const std::string& status);

    MonitorEnvironment env_;
    MonitorView view_;
    RequestRecord request_;
    MonitorLink link_;
    MonitorReadout readout_;
    bool firstDisplayDone_ = false;
    bool restartWanted_ = false;  // a restart of the readings was refused
    bool loggedAtStart_ = false;  // logging asked for at start has been started
    std::string unitText_ = " ";  // unit written to the log
    std::string comment_;         // last Label text taken by Save Reading

    bool logging_ = false;
    bool rowsStarted_ = false;  // a row with a reading has been logged
    ReadingLogFile log_;        // open while logging

    int saveStep_ = 0;        // 0: no save running
    ReadingLogFile saveLog_;  // open while a save runs
    LocalDateTime saveTime_{};
};

}  // namespace clinora
