#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <string>

#include "app/trend_buffer.h"
#include "gui/tool_window.h"

class QComboBox;
class QPushButton;

namespace clinora {

class ChartWidget;

// The Monitor page's trend window: tilt A, tilt B and temperature of the
// last 1, 10 or 60 minutes as the page showed them, with Pause and Clear.
// It records while hidden and redraws only while shown, at most once per
// redraw interval and only when something changed.
class MonitorTrend : public ToolWindow {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 1000;

    explicit MonitorTrend(QWidget* parent = nullptr);

    // One reading as the page shows it.
    void addReading(const std::string& a, const std::string& b, const std::string& temperature,
                    const std::string& unit);
    // Draws what is due now (the redraw timer calls it; tests too).
    void redraw();

    ChartWidget* chart() const { return chart_; }
    const TrendBuffer& buffer() const { return buffer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int64_t spanMs() const;
    void changed();

    TrendBuffer buffer_;
    QElapsedTimer clock_;
    QTimer redrawTimer_;
    bool dirty_ = true;
    ChartWidget* chart_ = nullptr;
    QComboBox* span_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* clear_ = nullptr;
    int seriesA_ = 0, seriesB_ = 0, seriesTemperature_ = 0;
};

}  // namespace clinora
