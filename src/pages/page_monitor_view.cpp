// The Monitor page's controls and their layout.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/about_box.h"
#include "gui/colour_box.h"
#include "gui/program_icon.h"
#include "gui/spin_edit.h"
#include "gui/view_helpers.h"
#include "pages/monitor_trend.h"
#include "pages/page_monitor.h"
#include "product_version.h"

namespace clinora {

void CPageMonitor::buildView() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(8);
    layout->addWidget(buildTiltGroup());
    layout->addWidget(buildTemperatureGroup());
    layout->addWidget(buildLoggingGroup());
    layout->addWidget(buildDeviceRow());
    layout->addStretch(1);
    layout->addWidget(buildFooter());
    startStop_->setEnabled(false);
    saveReading_->setEnabled(false);
}

QGroupBox* CPageMonitor::buildTiltGroup() {
    auto* group = new QGroupBox("Tilt", this);
    tiltReadout_ = Named(new ReadoutLabel("0.00", group), "TiltReadout");
    tiltReadout_->setAccessibleName("Tilt");
    tiltReadout_->setFont(ArialFont(25, true));
    tiltReadout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tiltReadout_->setMinimumWidth(250);
    unitsLabel_ = Named(new ReadoutLabel(" ", group), "UnitsLabel");
    unitsLabel_->setAccessibleName("Tilt units");
    unitsLabel_->setFont(ArialFont(15));
    unitsLabel_->setMinimumWidth(60);
    unitSelector_ = Named(new QComboBox(group), "UnitSelector");
    unitSelector_->setAccessibleName("Units");
    if (context_.resourceInUse) unitSelector_->setFont(ArialFont(12));
    unitSelector_->setMinimumWidth(140);
    axisA_ = Named(new QRadioButton("A", group), "AxisA");
    axisB_ = Named(new QRadioButton("B", group), "AxisB");
    axisA_->setChecked(true);

    auto* readout = new QHBoxLayout;
    readout->addWidget(tiltReadout_, 1);
    readout->addWidget(unitsLabel_);
    auto* choices = new QHBoxLayout;
    choices->addWidget(unitSelector_);
    choices->addSpacing(24);
    choices->addWidget(axisA_);
    choices->addWidget(axisB_);
    choices->addStretch(1);
    auto* box = new QVBoxLayout(group);
    box->addLayout(readout);
    box->addLayout(choices);

    return group;
}

QGroupBox* CPageMonitor::buildTemperatureGroup() {
    auto* group = new QGroupBox("Temperature", this);
    temperatureReadout_ = Named(new ReadoutLabel("00.0", group), "TemperatureReadout");
    temperatureReadout_->setAccessibleName("Temperature");
    temperatureReadout_->setFont(ArialFont(20, true));
    temperatureReadout_->setAlignment(Qt::AlignCenter);
    auto* box = new QVBoxLayout(group);
    box->addWidget(temperatureReadout_);
    return group;
}

QGroupBox* CPageMonitor::buildLoggingGroup() {
    auto* group = new QGroupBox("Logging", this);
    interval_ = Named(new SpinEdit(group), "IntervalBox");
    interval_->edit()->setFont(ArialFont(15));
    interval_->edit()->setMaximumWidth(70);
    interval_->setRange(kMinLogInterval, kMaxLogInterval);
    interval_->setAccessibleNames("Interval (s)", "Increase interval", "Decrease interval");
    startStop_ = Named(new QPushButton("Start", group), "StartStop");
    loggingIndicator_ = Named(new ColourBox(QString(), group), "LoggingIndicator");
    loggingIndicator_->setFixedSize(28, 28);
    loggingIndicator_->setAccessibleName("Logging");
    loggingIndicator_->setToolTip("Blinks red and white while readings are logged");
    loggingIndicator_->setBackground(colours::kWhite);
    saveReading_ = Named(new QPushButton("Save &Reading", group), "SaveReading");
    saveReading_->setAccessibleName("Save Reading");
    saveStatus_ = Named(new ReadoutLabel(" ", group), "SaveStatus");
    saveStatus_->setAccessibleName("Save status");
    saveStatus_->setMinimumWidth(60);
    label_ = Named(new QLineEdit(group), "LabelBox");
    // The log's full path where "Saved" is shown, or why the log cannot be written.
    logFile_ = Named(new ColourBox(QString(), group), "LogFile");
    logFile_->setAccessibleName("Log file");
    logFile_->setWordWrap(true);
    logFile_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    logFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path is cut at the edge rather than widening the page.
    logFile_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    logFile_->setMinimumHeight(24);

    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption("Interval (s)", interval_), 0, 0);
    grid->addWidget(interval_, 0, 1, Qt::AlignLeft);
    grid->addWidget(startStop_, 0, 2);
    grid->addWidget(loggingIndicator_, 0, 3);
    grid->addWidget(Caption("Label", label_), 1, 0);
    grid->addWidget(label_, 1, 1, 1, 3);
    grid->addWidget(saveReading_, 2, 2);
    grid->addWidget(saveStatus_, 2, 3, 1, 1);
    grid->addWidget(Caption("Log file", logFile_), 3, 0);
    grid->addWidget(logFile_, 3, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* CPageMonitor::buildDeviceRow() {
    auto* row = new QWidget(this);
    deviceSn_ = Named(new ColourBox("Sensor serial", row), "DeviceSN");
    deviceSn_->setFont(ArialFont(15));
    deviceSn_->setMinimumHeight(34);
    deviceSn_->setAccessibleName("Device SN");
    reconnect_ = Named(new QPushButton("Re&connect", row), "Reconnect");
    reconnect_->setAccessibleName("Reconnect");
    portIndicator_ = Named(new ColourBox(QString(), row), "PortIndicator");
    statusIndicator_ = Named(new ColourBox(QString(), row), "StatusIndicator");
    for (ColourBox* box : {portIndicator_, statusIndicator_}) box->setFixedSize(28, 28);
    portIndicator_->setAccessibleName("Port");
    statusIndicator_->setAccessibleName("Status");
    portIndicator_->setToolTip(
        "Red: no port; pale yellow: port open, no board yet; green: a "
        "board answered");
    statusIndicator_->setToolTip(
        "Red: not reading; pale yellow: no answer to the last reading; "
        "green: reading");
    statusMessage_ = Named(new ColourBox("Status message", row), "StatusMessage");
    statusMessage_->setMinimumHeight(28);
    statusMessage_->setWordWrap(true);  // failure texts name the device and the reason
    statusMessage_->setAccessibleName("Status message");

    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(Caption("Device SN", deviceSn_), 0, 0);
    grid->addWidget(deviceSn_, 0, 1, 1, 4);
    grid->addWidget(Caption("Port", portIndicator_), 1, 0);
    auto* indicators = new QHBoxLayout;
    indicators->addWidget(portIndicator_);
    indicators->addSpacing(16);
    indicators->addWidget(Caption("Status", statusIndicator_));
    indicators->addWidget(statusIndicator_);
    indicators->addStretch(1);
    grid->addLayout(indicators, 1, 1, 1, 3);
    grid->addWidget(reconnect_, 1, 4);
    grid->addWidget(statusMessage_, 2, 0, 1, 5);
    grid->setColumnStretch(1, 1);
    return row;
}

QWidget* CPageMonitor::buildFooter() {
    auto* row = new QWidget(this);
    aboutIcon_ = Named(new QToolButton(row), "AboutIcon");
    aboutIcon_->setIcon(ProgramIcon());
    aboutIcon_->setIconSize(QSize(40, 40));
    aboutIcon_->setAutoRaise(true);
    aboutIcon_->setToolTip("About");
    aboutIcon_->setAccessibleName("About");
    auto* version = Named(new QLabel(QString("v. ") + kProductVersion, row), "VersionLabel");
    trend_ = new MonitorTrend(this);
    trendButton_ = Named(new QPushButton("&Trend...", row), "TrendButton");
    trendButton_->setAccessibleName("Trend");
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(aboutIcon_);
    box->addStretch(1);
    box->addWidget(trendButton_);
    box->addSpacing(16);
    box->addWidget(version, 0, Qt::AlignBottom);
    connect(trendButton_, &QPushButton::clicked, this, [this] {
        trend_->present();
        trend_->activateWindow();
    });
    connect(aboutIcon_, &QToolButton::clicked, this, [this] {
        CAboutDlg about(this);
        about.exec();
    });
    return row;
}

}  // namespace clinora
