#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <memory>

namespace clinora {

// A small line chart: named series of points against one x axis and a left
// (and optionally a right) value axis. The only place that knows which
// charting library draws it; the rest of the program sees points and ranges.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    enum class Style { Line, DashedLine, Points };
    // How the points of a Points series are marked; a ring leaves the
    // points of another series inside it visible.
    enum class Marker { Dot, Ring, Square };

    struct SeriesLook {
        QString name;
        QColor colour;
        Style style = Style::Line;
        bool rightAxis = false;  // drawn against the right value axis
        Marker marker = Marker::Dot;
        int markerSize = 8;
    };

    explicit ChartWidget(QWidget* parent = nullptr);
    ~ChartWidget() override;

    void setTitle(const QString& title);
    // The key of the series below the plot (shown by default).
    void setLegendVisible(bool visible);
    // Axis titles; an empty right title leaves the chart without a right axis.
    void setAxisTitles(const QString& x, const QString& left, const QString& right = QString());
    // Adds a series; returns its index for setPoints.
    int addSeries(const SeriesLook& look);
    // Removes every series (a chart shown for another subject).
    void clearSeries();
    // Replaces a series' points; points that are not finite are not drawn.
    void setPoints(int series, const QList<QPointF>& points);
    QList<QPointF> points(int series) const;
    int seriesCount() const;
    // Fixed x range; the value axes follow their series (with a margin),
    // never narrower than `minimumSpan`.
    void setXRange(double from, double to);
    // Ticks of the x axis at anchor + k * interval, labelled with `format`
    // ("%d"): the range is then kept exactly as set.
    void setXTicks(double anchor, double interval, const QString& format);
    void setMinimumSpan(double left, double right = 0.0);
    // A fixed range of the left value axis (charts compared side by side);
    // low > high lets it follow its series again.
    void setValueRange(double low, double high);
    double valueAxisLow() const;
    double valueAxisHigh() const;

private:
    struct Parts;
    void fitValueAxes();

    std::unique_ptr<Parts> parts_;
};

}  // namespace clinora
