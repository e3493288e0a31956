#pragma once

#include <QTimer>
#include <functional>
#include <string>

#include "app/monitor_display.h"
#include "app/monitor_link.h"
#include "app/reading_log.h"
#include "gui/sheet_page.h"
#include "link/request_record.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace clinora {

class Clock;
class ColourBox;
class MonitorTrend;
class SerialPort;
class SpinEdit;

// "Monitor": tilt and temperature of the board on the line in the chosen
// unit, the port, status and logging indicators, and the reading log (lines
// at an interval, or one labelled reading at a time). It posts requests to
// the worker and shows what the worker's events announce.
class CPageMonitor : public SheetPage {
    Q_OBJECT
public:
    // The USB adapter search: the adapter's port number, or -1.
    using AdapterSearch = std::function<int(SerialPort&)>;

    // Pauses of Save Reading between its progress marks.
    static constexpr int kSaveStepMs = 500;
    // How often the page checks that the reading on screen is still recent.
    static constexpr int kFreshnessCheckMs = 250;

    explicit CPageMonitor(PageContext& context, QWidget* parent = nullptr);
    ~CPageMonitor() override;

    bool onSetActive() override;
    bool onKillActive() override;
    // Leaving stops logging: asked first while it runs.
    QString leaveQuestion() const override {
        return logging_ ? QStringLiteral("Leaving stops logging. Leave?") : QString();
    }

    // Replaces the adapter search (tests).
    void setAdapterSearch(AdapterSearch search) { adapterSearch_ = std::move(search); }
    // The clock that dates readings (tests: the worker's virtual clock).
    void setClock(Clock& clock) { clock_ = &clock; }
    // The sheet stays on this page after the user declined to exit.
    void onExitCancelled() override;
    bool logging() const { return logging_; }
    bool saving() const { return saveStep_ != 0; }

protected:
    void onWorkerEvent(int code, int detail) override;
    void onPortStatus(int status) override;

private:
    void buildView();
    QGroupBox* buildTiltGroup();
    QGroupBox* buildTemperatureGroup();
    QGroupBox* buildLoggingGroup();
    QWidget* buildDeviceRow();
    QWidget* buildFooter();

    void firstDisplay();
    int searchAdapter();
    void fillUnitSelector();
    void onUnitChanged(int entry);
    void onAxisChosen(bool axisA);
    void onReconnect();
    void refresh();
    void withdrawStaleReading();
    void showNoReading();
    void showLinkText();
    bool restartReading();
    void resetShownTexts() { readout_.reset(); }
    void setRequestButtons(bool enabled);
    bool calibrationMode() const;
    std::string serialNumber() const;
    std::string logPath() const;

    // The reading log (monitor_log.cpp).
    void onStartStop();
    void startLogging();
    void stopLogging();
    void writeLogLine();
    void saveReading();
    void continueSave();
    LogReading readingForLog(const LocalDateTime& time) const;

    RequestRecord request_;
    AdapterSearch adapterSearch_;
    bool firstDisplayDone_ = false;
    Clock* clock_;
    MonitorLink link_;
    bool restartWanted_ = false;  // a restart of the readings was refused
    bool loggedAtStart_ = false;  // logging asked for at start has been started
    QTimer freshness_;

    MonitorReadout readout_;
    std::string unitText_ = " ";  // unit written to the log
    std::string comment_;         // last Label text taken by Save Reading

    bool logging_ = false;
    ReadingLogFile log_;  // open while logging
    QTimer logTimer_;

    int saveStep_ = 0;        // 0: no save running
    ReadingLogFile saveLog_;  // open while a save runs
    LocalDateTime saveTime_{};
    QTimer saveTimer_;

    // Controls.
    QLabel* tiltReadout_ = nullptr;
    QLabel* unitsLabel_ = nullptr;
    QComboBox* unitSelector_ = nullptr;
    QRadioButton* axisA_ = nullptr;
    QRadioButton* axisB_ = nullptr;
    QLabel* temperatureReadout_ = nullptr;
    SpinEdit* interval_ = nullptr;
    QPushButton* startStop_ = nullptr;
    ColourBox* loggingIndicator_ = nullptr;
    QPushButton* saveReading_ = nullptr;
    QLabel* saveStatus_ = nullptr;
    QLineEdit* label_ = nullptr;
    ColourBox* deviceSn_ = nullptr;
    QPushButton* reconnect_ = nullptr;
    ColourBox* portIndicator_ = nullptr;
    ColourBox* statusIndicator_ = nullptr;
    ColourBox* statusMessage_ = nullptr;
    QToolButton* aboutIcon_ = nullptr;
    QPushButton* trendButton_ = nullptr;
    MonitorTrend* trend_ = nullptr;  // the trend window, made with the page
};

}  // namespace clinora
