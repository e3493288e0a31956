#pragma once

#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace clinora {

namespace sim {
class SimBus;
}

// Beside the sheet in the simulated demo: sets the fixture the simulated
// boards sit on (tilt A, tilt B, temperature), and plugs in a fresh board
// (address 65534) for the Settings page to give an address.
class FixturePanel : public QWidget {
    Q_OBJECT
public:
    explicit FixturePanel(sim::SimBus& bus, QWidget* parent = nullptr);

    QDoubleSpinBox* tiltA() const { return tiltA_; }
    QDoubleSpinBox* tiltB() const { return tiltB_; }
    QDoubleSpinBox* temperature() const { return temperature_; }
    QPushButton* freshBoard() const { return freshBoard_; }

private:
    void showBoards();

    sim::SimBus& bus_;
    QDoubleSpinBox* tiltA_;
    QDoubleSpinBox* tiltB_;
    QDoubleSpinBox* temperature_;
    QPushButton* freshBoard_;
    QLabel* boards_;
};

}  // namespace clinora
