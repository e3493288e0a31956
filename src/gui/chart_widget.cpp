#include "gui/chart_widget.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <vector>

namespace clinora {

struct ChartWidget::Parts {
    QChart* chart = nullptr;
    QChartView* view = nullptr;
    QValueAxis* x = nullptr;
    QValueAxis* left = nullptr;
    QValueAxis* right = nullptr;
    struct Entry {
        QXYSeries* series;
        bool rightAxis;
        QList<QPointF> points;  // as given, gaps included
    };
    std::vector<Entry> series;
    double minimumLeftSpan = 0.0, minimumRightSpan = 0.0;
    bool fixedLeft = false;
    bool exactX = false;  // ticks at fixed steps: the range stays as set
    double xFrom = 0.0, xTo = 0.0;
};

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent), parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    p.chart = new QChart;
    p.chart->setAnimationOptions(QChart::NoAnimation);
    p.chart->legend()->setAlignment(Qt::AlignBottom);
    p.chart->setMargins(QMargins(4, 4, 4, 4));
    p.x = new QValueAxis;
    p.left = new QValueAxis;
    p.chart->addAxis(p.x, Qt::AlignBottom);
    p.chart->addAxis(p.left, Qt::AlignLeft);
    p.view = new QChartView(p.chart, this);
    // Without smoothed edges a chart draws several times faster, which keeps
    // a trend redrawn every second and a window of six charts cheap.
    p.view->setRenderHint(QPainter::Antialiasing, false);
    p.view->setObjectName("ChartView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(p.view);
    setMinimumSize(320, 220);
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::setTitle(const QString& title) {
    parts_->chart->setTitle(title);
    parts_->view->setAccessibleName(title);
}

void ChartWidget::setLegendVisible(bool visible) { parts_->chart->legend()->setVisible(visible); }

void ChartWidget::setAxisTitles(const QString& x, const QString& left, const QString& right) {
    Parts& p = *parts_;
    p.x->setTitleText(x);
    p.left->setTitleText(left);
    if (right.isEmpty()) return;
    if (!p.right) {
        p.right = new QValueAxis;
        p.chart->addAxis(p.right, Qt::AlignRight);
    }
    p.right->setTitleText(right);
}

int ChartWidget::addSeries(const SeriesLook& look) {
    Parts& p = *parts_;
    QXYSeries* series = nullptr;
    if (look.style == Style::Points) {
        auto* scatter = new QScatterSeries;
        scatter->setMarkerSize(look.markerSize);
        scatter->setMarkerShape(look.marker == Marker::Square ? QScatterSeries::MarkerShapeRectangle
                                                              : QScatterSeries::MarkerShapeCircle);
        scatter->setPen(QPen(look.colour, look.marker == Marker::Ring ? 2 : 1));
        series = scatter;
    } else {
        series = new QLineSeries;
        QPen pen(look.colour, 2);
        if (look.style == Style::DashedLine) pen.setStyle(Qt::DashLine);
        series->setPen(pen);
    }
    series->setName(look.name);
    series->setColor(look.marker == Marker::Ring && look.style == Style::Points
                         ? QColor(Qt::transparent)
                         : look.colour);
    p.chart->addSeries(series);
    series->attachAxis(p.x);
    series->attachAxis(look.rightAxis && p.right ? p.right : p.left);
    p.series.push_back({series, look.rightAxis && p.right, {}});
    return static_cast<int>(p.series.size()) - 1;
}

void ChartWidget::clearSeries() {
    Parts& p = *parts_;
    for (Parts::Entry& entry : p.series) {
        p.chart->removeSeries(entry.series);
        delete entry.series;
    }
    p.series.clear();
    fitValueAxes();
}

int ChartWidget::seriesCount() const { return static_cast<int>(parts_->series.size()); }

void ChartWidget::setPoints(int series, const QList<QPointF>& points) {
    Parts& p = *parts_;
    if (series < 0 || series >= seriesCount()) return;
    Parts::Entry& entry = p.series[static_cast<size_t>(series)];
    entry.points = points;
    QList<QPointF> drawn;
    drawn.reserve(points.size());
    for (const QPointF& point : points)
        if (std::isfinite(point.x()) && std::isfinite(point.y())) drawn.push_back(point);
    entry.series->replace(drawn);
    fitValueAxes();
}

QList<QPointF> ChartWidget::points(int series) const {
    if (series < 0 || series >= seriesCount()) return {};
    return parts_->series[static_cast<size_t>(series)].points;
}

void ChartWidget::setXRange(double from, double to) {
    Parts& p = *parts_;
    if (from == p.xFrom && to == p.xTo) return;
    p.xFrom = from;
    p.xTo = to;
    p.x->setRange(from, to);
    if (!p.exactX) p.x->applyNiceNumbers();
}

void ChartWidget::setXTicks(double anchor, double interval, const QString& format) {
    Parts& p = *parts_;
    p.exactX = true;
    p.x->setTickType(QValueAxis::TicksDynamic);
    p.x->setTickAnchor(anchor);
    p.x->setTickInterval(interval);
    p.x->setLabelFormat(format);
    p.x->setRange(p.xFrom, p.xTo);
}

void ChartWidget::setValueRange(double low, double high) {
    Parts& p = *parts_;
    p.fixedLeft = low <= high;
    if (p.fixedLeft) {
        p.left->setRange(low, high);
        p.left->applyNiceNumbers();
    }
    fitValueAxes();
}

double ChartWidget::valueAxisLow() const { return parts_->left->min(); }
double ChartWidget::valueAxisHigh() const { return parts_->left->max(); }

void ChartWidget::setMinimumSpan(double left, double right) {
    parts_->minimumLeftSpan = left;
    parts_->minimumRightSpan = right;
    fitValueAxes();
}

// Each value axis spans its series' values plus a tenth on either side. An
// axis whose range still holds the values well is left alone: a new range
// means new labels and a new layout of the whole chart.
void ChartWidget::fitValueAxes() {
    Parts& p = *parts_;
    for (const bool right : {false, true}) {
        QValueAxis* axis = right ? p.right : p.left;
        if (!axis || (!right && p.fixedLeft)) continue;
        double low = INFINITY, high = -INFINITY;
        for (const Parts::Entry& entry : p.series) {
            if (entry.rightAxis != right) continue;
            for (const QPointF& point : entry.points) {
                if (!std::isfinite(point.y())) continue;
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        }
        if (low > high) low = high = 0.0;
        const double minimum = right ? p.minimumRightSpan : p.minimumLeftSpan;
        const double middle = (low + high) / 2;
        const double span = std::max({high - low, minimum, 1e-9});
        const double shownSpan = axis->max() - axis->min();
        if (axis->min() <= low && high <= axis->max() && span >= shownSpan * 0.3) continue;
        axis->setRange(middle - span * 0.6, middle + span * 0.6);
        axis->applyNiceNumbers();
    }
}

}  // namespace clinora
