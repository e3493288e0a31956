#include "pages/residual_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/chart_widget.h"
#include "gui/readout_label.h"

#include <algorithm>

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

}  // namespace

ResidualWindow::ResidualWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("ResidualWindow");
    setWindowTitle("Fit residuals");
    setAccessibleName("Fit residuals");
    // One key for all charts, in words.
    auto* key = new QLabel(
        "Blue dots: first sweep; red dots: return sweep; dashed lines: the rows' test limits. "
        "Residual: calibrated angle minus prompted angle.",
        this);
    key->setObjectName("ResidualKey");
    key->setWordWrap(true);
    boardsArea_ = new QWidget(this);
    grid_ = new QGridLayout(boardsArea_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(key);
    layout->addWidget(boardsArea_, 1);
}

void ResidualWindow::setBoards(const std::vector<BoardResiduals>& boards) {
    for (ChartWidget* chart : charts_) delete chart;
    for (ReadoutLabel* summary : summaries_) delete summary;
    charts_.clear();
    summaries_.clear();
    const int columns = boards.size() > 1 ? 2 : 1;
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
        chart->addSeries({"First sweep", QColor(0, 90, 200), ChartWidget::Style::Points});
        chart->addSeries({"Return sweep", QColor(210, 60, 30), ChartWidget::Style::Points});
        chart->addSeries({"Low limit", QColor(120, 120, 120), ChartWidget::Style::DashedLine});
        chart->addSeries({"High limit", QColor(120, 120, 120), ChartWidget::Style::DashedLine});
        chart->setPoints(kFirstSweep, Residuals(board.fit.firstSweep));
        chart->setPoints(kReturnSweep, Residuals(board.fit.returnSweep));
        chart->setPoints(kLowLimit, Limits(board.fit.firstSweep, false));
        chart->setPoints(kHighLimit, Limits(board.fit.firstSweep, true));
        double low = 0, high = 0;
        for (const auto& p : board.fit.firstSweep) {
            low = std::min(low, p.angle);
            high = std::max(high, p.angle);
        }
        const double margin = std::max(1.0, (high - low) * 0.05);
        chart->setXRange(low - margin, high + margin);

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
    resize(columns * 420, std::max(1, rows) * 280 + 40);
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
