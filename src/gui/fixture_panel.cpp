#include "gui/fixture_panel.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "sim/sim_bus.h"

namespace clinora {
namespace {

QDoubleSpinBox* MakeBox(double low, double high, double value, const QString& suffix,
                        QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(2);
    box->setSingleStep(0.5);
    box->setSuffix(suffix);
    box->setValue(value);
    box->setKeyboardTracking(false);
    return box;
}

}  // namespace

FixturePanel::FixturePanel(sim::SimBus& bus, QWidget* parent) : QWidget(parent), bus_(bus) {
    setObjectName("FixturePanel");
    const sim::Fixture now = bus_.fixture();
    auto* group = new QGroupBox("Simulated fixture", this);
    tiltA_ = MakeBox(-90, 90, now.tiltADeg, QString::fromUtf8(" °"), group);
    tiltB_ = MakeBox(-90, 90, now.tiltBDeg, QString::fromUtf8(" °"), group);
    temperature_ = MakeBox(-40, 85, now.tempC, QString::fromUtf8(" °C"), group);
    auto* form = new QFormLayout(group);
    form->addRow("Tilt A", tiltA_);
    form->addRow("Tilt B", tiltB_);
    form->addRow("Temperature", temperature_);
    boards_ = new QLabel(this);
    boards_->setObjectName("SimulatedBoards");
    boards_->setWordWrap(true);
    freshBoard_ = new QPushButton("Plug in a fresh board", this);
    freshBoard_->setObjectName("FreshBoard");
    freshBoard_->setAccessibleName("Plug in a fresh board");
    showBoards();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(boards_);
    layout->addWidget(freshBoard_);
    layout->addStretch(1);

    connect(tiltA_, &QDoubleSpinBox::valueChanged, this, [this](double v) { bus_.setTilt(0, v); });
    connect(tiltB_, &QDoubleSpinBox::valueChanged, this, [this](double v) { bus_.setTilt(1, v); });
    connect(temperature_, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { bus_.setTemperature(v); });
    connect(freshBoard_, &QPushButton::clicked, this, [this] {
        bus_.addFreshBoard();
        showBoards();
    });
    // Addresses change on the Settings page: the list follows them.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &FixturePanel::showBoards);
    refresh->start(1000);
}

void FixturePanel::showBoards() {
    QStringList addresses;
    bool fresh = false;
    for (int address : bus_.status().addresses) {
        addresses << QString::number(address);
        fresh = fresh || address == sim::kFactoryAddress;
    }
    boards_->setText(QString("Simulated boards: %1").arg(addresses.join(", ")));
    // One board at 65534 at a time: two would answer together.
    freshBoard_->setEnabled(!fresh);
    freshBoard_->setAccessibleDescription(
        fresh ? "A board at 65534 is on the bus: give it an address on the Settings page first."
              : "Adds a board at the factory address 65534; give it an address on the Settings "
                "page.");
}

}  // namespace clinora
