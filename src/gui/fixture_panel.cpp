#include "gui/fixture_panel.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
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
    QStringList addresses;
    for (int address : bus_.status().addresses) addresses << QString::number(address);
    auto* note = new QLabel(QString("Simulated boards: %1").arg(addresses.join(", ")), this);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(note);
    layout->addStretch(1);

    connect(tiltA_, &QDoubleSpinBox::valueChanged, this, [this](double v) { bus_.setTilt(0, v); });
    connect(tiltB_, &QDoubleSpinBox::valueChanged, this, [this](double v) { bus_.setTilt(1, v); });
    connect(temperature_, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { bus_.setTemperature(v); });
}

}  // namespace clinora
