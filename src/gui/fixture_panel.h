#pragma once

#include <QWidget>

class QDoubleSpinBox;

namespace clinora {

namespace sim {
class SimBus;
}

// Beside the sheet in the simulated demo: sets the fixture the simulated
// boards sit on (tilt A, tilt B, temperature).
class FixturePanel : public QWidget {
    Q_OBJECT
public:
    explicit FixturePanel(sim::SimBus& bus, QWidget* parent = nullptr);

    QDoubleSpinBox* tiltA() const { return tiltA_; }
    QDoubleSpinBox* tiltB() const { return tiltB_; }
    QDoubleSpinBox* temperature() const { return temperature_; }

private:
    sim::SimBus& bus_;
    QDoubleSpinBox* tiltA_;
    QDoubleSpinBox* tiltB_;
    QDoubleSpinBox* temperature_;
};

}  // namespace clinora
