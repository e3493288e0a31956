#include "pages/monitor_trend.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/chart_widget.h"
#include "gui/view_helpers.h"

namespace clinora {

namespace {
constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int kSpanMinutes[] = {1, 10, 60};
}  // namespace

MonitorTrend::MonitorTrend(QWidget* parent) : ToolWindow("Trend", parent) {
    setObjectName("MonitorTrend");
    setWindowTitle("Monitor trend");
    setAccessibleName("Monitor trend");
    clock_.start();

    chart_ = Named(new ChartWidget(this), "TrendChart");
    chart_->setTitle("Tilt and temperature");
    chart_->setAxisTitles("Minutes", "Tilt", "Temperature");
    seriesA_ = chart_->addSeries({"Axis A", QColor(0, 90, 200)});
    seriesB_ = chart_->addSeries({"Axis B", QColor(210, 60, 30)});
    seriesTemperature_ = chart_->addSeries(
        {"Temperature", QColor(40, 150, 60), ChartWidget::Style::DashedLine, true});
    chart_->setMinimumSpan(0.01, 1.0);

    span_ = Named(new QComboBox(this), "TrendWindow");
    for (int minutes : kSpanMinutes) span_->addItem(QString("%1 min").arg(minutes));
    span_->setAccessibleName("Trend window");
    pause_ = Named(new QPushButton("Pause", this), "TrendPause");
    pause_->setCheckable(true);
    clear_ = Named(new QPushButton("Clear", this), "TrendClear");

    auto* controls = new QHBoxLayout;
    controls->addWidget(Caption("Window", span_));
    controls->addWidget(span_);
    controls->addStretch(1);
    controls->addWidget(pause_);
    controls->addWidget(clear_);
    addCloseButton(controls);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chart_, 1);
    layout->addLayout(controls);
    resize(560, 380);

    redrawTimer_.setInterval(kRedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &MonitorTrend::redraw);
    connect(span_, &QComboBox::currentIndexChanged, this, [this] {
        changed();
        redraw();
    });
    connect(pause_, &QPushButton::toggled, this, [this](bool on) {
        buffer_.setPaused(on, clock_.elapsed());
        pause_->setText(on ? "Resume" : "Pause");
        changed();
        redraw();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        buffer_.clear();
        changed();
        redraw();
    });
}

void MonitorTrend::addReading(const std::string& a, const std::string& b,
                              const std::string& temperature, const std::string& unit) {
    const std::string before = buffer_.unit();
    if (!buffer_.add(clock_.elapsed(), a, b, temperature, unit)) return;
    if (buffer_.unit() != before) {
        chart_->setAxisTitles("Minutes", QString("Tilt (%1)").arg(QString::fromStdString(unit)),
                              "Temperature");
    }
    // A paused plot does not move for new readings.
    if (!buffer_.paused()) changed();
}

int64_t MonitorTrend::spanMs() const {
    const int entry = std::clamp(span_->currentIndex(), 0, 2);
    return kSpanMinutes[entry] * kMinuteMs;
}

void MonitorTrend::changed() { dirty_ = true; }

void MonitorTrend::redraw() {
    if (!dirty_ || !isVisible()) return;
    dirty_ = false;
    const int64_t now = clock_.elapsed();
    const int64_t end = buffer_.shownEnd(now);
    const std::vector<TrendSample> samples = buffer_.window(now, spanMs());
    QList<QPointF> a, b, t;
    a.reserve(static_cast<qsizetype>(samples.size()));
    b.reserve(a.capacity());
    t.reserve(a.capacity());
    for (const TrendSample& s : samples) {
        const double x = static_cast<double>(s.ms - end) / kMinuteMs;
        a.push_back({x, s.a});
        b.push_back({x, s.b});
        t.push_back({x, s.temperature});
    }
    chart_->setXRange(-static_cast<double>(spanMs()) / kMinuteMs, 0.0);
    chart_->setPoints(seriesA_, a);
    chart_->setPoints(seriesB_, b);
    chart_->setPoints(seriesTemperature_, t);
}

void MonitorTrend::showEvent(QShowEvent* event) {
    ToolWindow::showEvent(event);
    changed();
    redraw();
    redrawTimer_.start();
}

void MonitorTrend::hideEvent(QHideEvent* event) {
    redrawTimer_.stop();
    ToolWindow::hideEvent(event);
}

}  // namespace clinora
