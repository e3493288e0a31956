#include "gui/certificate_plot.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "gui/certificate_html.h"

namespace clinora {

namespace {

const QColor kFirst(31, 78, 140);
const QColor kReturn(191, 96, 0);
const QColor kFail(200, 0, 0);
const QColor kBand(214, 238, 214);
const QColor kGrid(220, 220, 220);

// 1, 2 or 5 times a power of ten, at least `rough`.
double NiceStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

QString Tick(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))));
    return QString::number(std::fabs(value) < step / 2 ? 0.0 : value, 'f', decimals);
}

}  // namespace

CertificatePlot::CertificatePlot(std::vector<records::CertificateRow> rows, QSizeF size,
                                 double pointScale, QObject* parent)
    : QObject(parent), rows_(std::move(rows)), size_(size), pt_(pointScale) {}

void CertificatePlot::Insert(QTextDocument& document, const QString& marker,
                             CertificatePlot* plot) {
    document.documentLayout()->registerHandler(kObjectType, plot);
    QTextCursor cursor = document.find(marker);
    if (cursor.isNull()) return;
    QTextCharFormat format;
    format.setObjectType(kObjectType);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

void CertificatePlot::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                                 const QTextFormat&) {
    if (rows_.empty()) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(CertificateFont(7.5));

    const QRectF area = rect.adjusted(46 * pt_, 20 * pt_, -8 * pt_, -30 * pt_);
    auto [lowAngle, highAngle] = std::minmax_element(
        rows_.begin(), rows_.end(), [](const auto& a, const auto& b) { return a.angle < b.angle; });
    double x0 = lowAngle->angle, x1 = highAngle->angle;
    const double pad = x1 > x0 ? (x1 - x0) * 0.05 : 1.0;
    x0 -= pad;
    x1 += pad;
    double extent = 0;
    for (const auto& r : rows_) {
        extent = std::max(extent, std::fabs(r.deviation));
        if (r.hasLimits) extent = std::max({extent, std::fabs(r.lowLimit), std::fabs(r.highLimit)});
    }
    extent = extent > 0 ? extent * 1.15 : 1e-3;
    const double yStep = NiceStep(2 * extent / 6);
    extent = std::ceil(extent / yStep) * yStep;
    auto px = [&](double angle) { return area.left() + (angle - x0) / (x1 - x0) * area.width(); };
    auto py = [&](double dev) { return area.center().y() - dev / extent * area.height() / 2; };

    // Grid and tick labels.
    painter->setPen(QPen(kGrid, 0.5 * pt_));
    const QFontMetricsF metrics(painter->font(), painter->device());
    for (double y = -extent; y <= extent + yStep / 2; y += yStep) {
        painter->setPen(QPen(kGrid, 0.5 * pt_));
        painter->drawLine(QPointF(area.left(), py(y)), QPointF(area.right(), py(y)));
        painter->setPen(Qt::black);
        const QString label = Tick(y, yStep);
        painter->drawText(QPointF(area.left() - 4 * pt_ - metrics.horizontalAdvance(label),
                                  py(y) + metrics.ascent() / 2 - pt_),
                          label);
    }
    const double xStep = NiceStep((x1 - x0) / 8);
    for (double x = std::ceil(x0 / xStep) * xStep; x <= x1; x += xStep) {
        painter->setPen(QPen(kGrid, 0.5 * pt_));
        painter->drawLine(QPointF(px(x), area.top()), QPointF(px(x), area.bottom()));
        painter->setPen(Qt::black);
        const QString label = Tick(x, xStep);
        painter->drawText(QPointF(px(x) - metrics.horizontalAdvance(label) / 2,
                                  area.bottom() + metrics.ascent() + 3 * pt_),
                          label);
    }

    // The band between the limits, in the order of the angles.
    std::vector<const records::CertificateRow*> limited;
    for (const auto& r : rows_)
        if (r.hasLimits) limited.push_back(&r);
    std::stable_sort(limited.begin(), limited.end(),
                     [](const auto* a, const auto* b) { return a->angle < b->angle; });
    if (!limited.empty()) {
        QPainterPath band, upper, lower;
        for (size_t i = 0; i < limited.size(); ++i) {
            const QPointF p(px(limited[i]->angle), py(limited[i]->highLimit));
            i == 0 ? upper.moveTo(p) : upper.lineTo(p);
        }
        for (size_t i = 0; i < limited.size(); ++i) {
            const QPointF p(px(limited[i]->angle), py(limited[i]->lowLimit));
            i == 0 ? lower.moveTo(p) : lower.lineTo(p);
        }
        band = upper;
        for (auto it = limited.rbegin(); it != limited.rend(); ++it)
            band.lineTo(px((*it)->angle), py((*it)->lowLimit));
        band.closeSubpath();
        painter->fillPath(band, kBand);
        painter->setPen(QPen(QColor(60, 120, 60), 0.9 * pt_, Qt::DashLine));
        painter->drawPath(upper);
        painter->drawPath(lower);
    }
    painter->setPen(QPen(Qt::black, 0.6 * pt_));
    painter->drawLine(QPointF(area.left(), py(0)), QPointF(area.right(), py(0)));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(area);

    // The positions: first sweep filled circles, return sweep open squares,
    // a cross over every position outside its limits.
    const double r = 2.4 * pt_;
    auto marker = [&](QPointF c, bool first, bool pass) {
        const QColor colour = pass ? (first ? kFirst : kReturn) : kFail;
        painter->setPen(QPen(colour, 0.9 * pt_));
        painter->setBrush(first ? QBrush(colour) : QBrush(Qt::white));
        if (first)
            painter->drawEllipse(c, r, r);
        else
            painter->drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        if (!pass) {
            painter->setPen(QPen(kFail, 1.2 * pt_));
            painter->drawLine(c + QPointF(-2 * r, -2 * r), c + QPointF(2 * r, 2 * r));
            painter->drawLine(c + QPointF(-2 * r, 2 * r), c + QPointF(2 * r, -2 * r));
        }
    };
    // The two sweeps meet the same angles: each is set a little aside.
    const double aside = 0.8 * r;
    for (const auto& row : rows_) {
        const double dev = std::clamp(row.deviation, -extent, extent);
        marker(QPointF(px(row.angle) + (row.firstSweep ? -aside : aside), py(dev)), row.firstSweep,
               row.pass);
    }

    // Axis titles and the legend.
    painter->setPen(Qt::black);
    const QString xTitle = QStringLiteral("Prompted angle (\u00b0)");
    painter->drawText(QPointF(area.center().x() - metrics.horizontalAdvance(xTitle) / 2,
                              area.bottom() + 2 * metrics.height() + 5 * pt_),
                      xTitle);
    painter->save();
    painter->translate(rect.left() + metrics.ascent(), area.center().y());
    painter->rotate(-90);
    const QString yTitle = QStringLiteral("Deviation (sine)");
    painter->drawText(QPointF(-metrics.horizontalAdvance(yTitle) / 2, 0), yTitle);
    painter->restore();

    double x = area.left();
    const double y = area.top() - 8 * pt_;
    auto legend = [&](const QString& text) {
        painter->setPen(Qt::black);
        painter->drawText(QPointF(x + 4 * r, y + metrics.ascent() / 2 - pt_), text);
        x += 4 * r + metrics.horizontalAdvance(text) + 12 * pt_;
    };
    marker(QPointF(x + r, y), true, true);
    legend("first sweep");
    marker(QPointF(x + r, y), false, true);
    legend("return sweep");
    painter->setPen(QPen(QColor(60, 120, 60), 0.9 * pt_, Qt::DashLine));
    painter->drawLine(QPointF(x - r, y), QPointF(x + 3 * r, y));
    legend("limits");
    marker(QPointF(x + r, y), true, false);
    legend("outside the limits");
    painter->restore();
}

}  // namespace clinora
