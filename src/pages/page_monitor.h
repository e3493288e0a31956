#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/monitor_page_model.h"
#include "gui/sheet_page.h"

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
class QtPageServices;
class SerialPort;
class SpinEdit;

// "Monitor": tilt and temperature of the board on the line in the chosen
// unit, the port, status and logging indicators, and the reading log (lines
// at an interval, or one labelled reading at a time). The rules live in
// MonitorPageModel; the page feeds it and renders what it shows.
class CPageMonitor : public SheetPage {
    Q_OBJECT
public:
    // The USB adapter search: the adapter's port number, or -1.
    using AdapterSearch = std::function<int(SerialPort&)>;

    static constexpr int kSaveStepMs = MonitorPageModel::kSaveStepMs;
    static constexpr int kFreshnessCheckMs = MonitorPageModel::kFreshnessCheckMs;

    explicit CPageMonitor(PageContext& context, QWidget* parent = nullptr);
    ~CPageMonitor() override;

    bool onSetActive() override;
    bool onKillActive() override;
    // The question to ask before the page is left ("Leaving stops logging.
    // Leave?"), or none when leaving loses no work.
    QString leaveQuestion() const override;

    // Replaces the adapter search (tests).
    void setAdapterSearch(AdapterSearch search) { adapterSearch_ = std::move(search); }
    // The clock that dates readings (tests: the worker's virtual clock).
    void setClock(Clock& clock) { clock_ = &clock; }
    // The sheet stays on this page after the user declined to exit.
    void onExitCancelled() override;
    bool logging() const { return model_ && model_->logging(); }
    bool saving() const { return model_ && model_->saving(); }

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
    void connectControls();

    // Runs one step of the model, then shows what it says.
    template <class F>
    void step(F&& f) {
        if (!model_) return;
        f(*model_);
        render();
    }
    void render();
    int64_t nowMs() const;
    std::string intervalText() const;

    std::unique_ptr<QtPageServices> services_;
    std::unique_ptr<MonitorPageModel> model_;
    AdapterSearch adapterSearch_;
    Clock* clock_;
    QTimer freshness_;
    QTimer logTimer_;
    QTimer saveTimer_;
    int intervalShown_ = -1;  // the model's interval setting last put in the box

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
    ColourBox* logFile_ = nullptr;
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
