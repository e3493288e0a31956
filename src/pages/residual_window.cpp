#include "pages/residual_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

#include "gui/chart_widget.h"
#include "gui/readout_label.h"

namespace clinora {

namespace {

QList<QPointF> Residuals(const std::vector<calib::ResidualPoint>& points) {
    QList<QPointF> out;
    for (const calib::ResidualPoint& p : points) out.push_back({p.angle, p.residual});
    return out;
}

QList<QPointF> Limits(const std::vector<calib::ResidualPoint>& points, bool high) {
    QList<QPointF> out;
    for (const calib::ResidualPoint& p : points) out.push_back({p.angle, high ? p.high : p.low});
    return out;
}

// The value range every board's chart shows: all residuals and limits with a
// tenth of the span on either side.
std::pair<double, double> CommonRange(const std::vector<BoardResiduals>& boards) {
    double low = INFINITY, high = -INFINITY;
    const auto take = [&](double v) {
        if (!std::isfinite(v)) return;
        low = std::min(low, v);
        high = std::max(high, v);
    };
    for (const BoardResiduals& board : boards) {
        for (const auto* sweep : {&board.fit.firstSweep, &board.fit.returnSweep}) {
            for (const calib::ResidualPoint& p : *sweep) {
                take(p.residual);
                take(p.low);
                take(p.high);
            }
        }
    }
    if (low > high) return {-1.0, 1.0};
    const double margin = std::max((high - low) * 0.1, 1e-6);
    return {low - margin, high + margin};
}

}  // namespace

ResidualWindow::ResidualWindow(QWidget* parent) : ToolWindow("Residuals", parent) {
    setObjectName("ResidualWindow");
    setWindowTitle("Fit residuals");
    setAccessibleName("Fit residuals");
    // One key for all charts, in words.
    auto* key = new QLabel(
        "Blue rings: first sweep; red squares: return sweep; dashed lines: the rows' test "
        "limits. Residual: calibrated angle minus prompted angle. Every chart has the same "
        "vertical scale.",
        this);
    key->setObjectName("ResidualKey");
    key->setWordWrap(true);
    boardsArea_ = new QWidget(this);
    grid_ = new QGridLayout(boardsArea_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(key);
    layout->addWidget(boardsArea_, 1);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    addCloseButton(closeRow);
    layout->addLayout(closeRow);
}

void ResidualWindow::setBoards(const std::vector<BoardResiduals>& boards) {
    for (ChartWidget* chart : charts_) delete chart;
    for (ReadoutLabel* summary : summaries_) delete summary;
    charts_.clear();
    summaries_.clear();
    const int columns = boards.size() > 1 ? 2 : 1;
    const auto [low, high] = CommonRange(boards);
    for (size_t i = 0; i < boards.size(); ++i) {
        const BoardResiduals& board = boards[i];
        const QString address = QString::fromStdString(board.address);
        auto* chart = new ChartWidget(boardsArea_);
        chart->setObjectName(QString("ResidualChart%1").arg(i + 1));
        chart->setTitle("Board " + address);
        chart->setLegendVisible(false);
        QSizePolicy policy = chart->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        chart->setSizePolicy(policy);
        chart->hide();
        chart->setAxisTitles("Angle (\u00b0)", "Residual (\u00b0)");
        chart->addSeries({"First sweep", QColor(0, 90, 200), ChartWidget::Style::Points, false,
                          ChartWidget::Marker::Ring, 11});
        chart->addSeries({"Return sweep", QColor(210, 60, 30), ChartWidget::Style::Points, false,
                          ChartWidget::Marker::Square, 6});
        chart->addSeries({"Low limit", QColor(120, 120, 120), ChartWidget::Style::DashedLine});
        chart->addSeries({"High limit", QColor(120, 120, 120), ChartWidget::Style::DashedLine});
        chart->setPoints(kFirstSweep, Residuals(board.fit.firstSweep));
        chart->setPoints(kReturnSweep, Residuals(board.fit.returnSweep));
        chart->setPoints(kLowLimit, Limits(board.fit.firstSweep, false));
        chart->setPoints(kHighLimit, Limits(board.fit.firstSweep, true));
        double first = 0, last = 0;
        for (const auto& p : board.fit.firstSweep) {
            first = std::min(first, p.angle);
            last = std::max(last, p.angle);
        }
        const double margin = std::max(1.0, (last - first) * 0.05);
        chart->setXRange(first - margin, last + margin);
        chart->setValueRange(low, high);

        auto* summary = new ReadoutLabel(
            QString::fromStdString(calib::ResidualSummary(board.address, board.fit)), boardsArea_);
        summary->setObjectName(QString("ResidualSummary%1").arg(i + 1));
        summary->setAccessibleName("Residuals of board " + address);
        summary->setWordWrap(true);

        const int row = static_cast<int>(i) / columns * 2;
        const int column = static_cast<int>(i) % columns;
        grid_->addWidget(chart, row, column);
        grid_->addWidget(summary, row + 1, column);
        charts_.push_back(chart);
        summaries_.push_back(summary);
    }
    if (isVisible()) revealNext();
    const int rows = (static_cast<int>(boards.size()) + columns - 1) / columns;
    if (!isVisible()) resize(columns * 420, std::max(1, rows) * 280 + 80);
}

void ResidualWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    revealNext();
}

void ResidualWindow::revealNext() {
    for (ChartWidget* chart : charts_) {
        if (!chart->isHidden()) continue;
        QTimer::singleShot(0, chart, [this, chart] {
            chart->show();
            revealNext();
        });
        return;
    }
}

ChartWidget* ResidualWindow::chart(int board) const {
    return board >= 0 && board < boardCount() ? charts_[static_cast<size_t>(board)] : nullptr;
}

QString ResidualWindow::summary(int board) const {
    return board >= 0 && board < boardCount() ? summaries_[static_cast<size_t>(board)]->text()
                                              : QString();
}

}  // namespace clinora
