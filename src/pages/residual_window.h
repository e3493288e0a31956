#pragma once

#include <vector>

#include "app/page_services.h"
#include "gui/tool_window.h"

class QGridLayout;

namespace clinora {

class ChartWidget;
class ReadoutLabel;

// The fit residuals of each board after a calibration Write: per board a
// plot of both sweeps' residuals against the prompted angle with the rows'
// limits, and a summary line. Every board's plot has the same vertical
// scale, so that boards compare at a glance. Non-modal, so it can stay open
// beside the page.
class ResidualWindow : public ToolWindow {
    Q_OBJECT
public:
    // The series of each board's chart, in this order.
    enum Series { kFirstSweep, kReturnSweep, kLowLimit, kHighLimit };

    explicit ResidualWindow(QWidget* parent = nullptr);

    void setBoards(const std::vector<BoardResiduals>& boards);

    int boardCount() const { return static_cast<int>(charts_.size()); }
    bool hasContent() const override { return boardCount() > 0; }
    ChartWidget* chart(int board) const;
    QString summary(int board) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Shows the next chart still hidden on the next turn: each chart is
    // drawn in a turn of its own rather than all in one long step.
    void revealNext();

    QGridLayout* grid_;
    QWidget* boardsArea_;
    std::vector<ChartWidget*> charts_;
    std::vector<ReadoutLabel*> summaries_;
};

}  // namespace clinora
