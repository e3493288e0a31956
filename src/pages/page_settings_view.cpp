// The Settings page's controls and their layout.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/colour_box.h"
#include "gui/readout_label.h"
#include "pages/page_settings.h"

namespace clinora {
namespace {

// A control with its object name (for tests) and the name a screen reader says.
template <class W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

QPushButton* Button(const QString& text, const char* objectName, const QString& accessibleName,
                    QWidget* parent) {
    auto* button = Named(new QPushButton(text, parent), objectName, accessibleName);
    button->setMinimumWidth(36);
    return button;
}

QComboBox* Selector(const std::vector<std::string>& entries, const char* objectName,
                    const QString& accessibleName, bool bigFont, QWidget* parent) {
    auto* box = Named(new QComboBox(parent), objectName, accessibleName);
    for (const auto& entry : entries) box->addItem(QString::fromStdString(entry));
    if (bigFont) {
        QFont font("Arial", 12);
        font.setStyleHint(QFont::SansSerif);
        box->setFont(font);
    }
    return box;
}

QListWidget* AddressList(const char* objectName, const QString& accessibleName, QWidget* parent) {
    auto* list = Named(new QListWidget(parent), objectName, accessibleName);
    list->setMinimumWidth(90);
    list->setMaximumHeight(130);
    return list;
}

}  // namespace

void CPageSettings::buildView() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(buildLists());
    layout->addWidget(buildAddressRows());
    addressOutcome_ =
        Named(new ReadoutLabel(QString(), this), "AddressOutcome", "Last address action");
    addressOutcome_->setWordWrap(true);
    layout->addWidget(addressOutcome_);
    layout->addWidget(buildSensorRows());
    layout->addWidget(buildAxisGroup());
    layout->addStretch(1);
    layout->addWidget(buildKeypad());
    buildMenu();
}

QWidget* CPageSettings::buildLists() {
    auto* row = new QWidget(this);
    auto* set = new QGroupBox("Calibration Set", row);
    setList_ = AddressList("CalibrationSet", "Calibration Set", set);
    auto* take = Button("/\\", "TakeFromPool", "Take from pool", set);
    auto* giveBack = Button("\\/", "GiveBack", "Give back to pool", set);
    auto* copy = Button("->", "CopyToInit", "Copy to Set Init Address", set);
    take->setToolTip("Take the selected pool address into the Calibration Set");
    giveBack->setToolTip("Give the selected Calibration Set address back to the pool");
    copy->setToolTip("Copy the selected Calibration Set address into Set Init Address");
    auto* setButtons = new QVBoxLayout;
    for (QPushButton* b : {take, giveBack, copy}) setButtons->addWidget(b);
    setButtons->addStretch(1);
    auto* setBox = new QHBoxLayout(set);
    setBox->addWidget(setList_, 1);
    setBox->addLayout(setButtons);

    auto* pool = new QGroupBox("Unused Pool", row);
    poolList_ = AddressList("UnusedPool", "Unused Pool", pool);
    auto* add = Button("/\\", "AddToPool", "Add to pool", pool);
    auto* remove = Button("\\/", "DeleteFromPool", "Delete from pool", pool);
    auto* poolEntry = Named(new QLineEdit(pool), "PoolEntry", "New pool address");
    entries_[static_cast<int>(EntryBox::PoolEntry)] = poolEntry;
    add->setToolTip("Add the address typed below to the pool");
    remove->setToolTip("Delete the selected address from the pool");
    poolEntry->setToolTip("A new pool address; the /\\ beside the pool adds it");
    auto* poolButtons = new QVBoxLayout;
    poolButtons->addWidget(add);
    poolButtons->addWidget(remove);
    poolButtons->addStretch(1);
    auto* poolGrid = new QGridLayout(pool);
    poolGrid->addWidget(poolList_, 0, 0);
    poolGrid->addLayout(poolButtons, 0, 1);
    poolGrid->addWidget(poolEntry, 1, 0);

    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(set, 1);
    box->addWidget(pool, 1);

    connect(take, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::takeFromPool); });
    connect(giveBack, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::giveBack); });
    connect(add, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::addToPool); });
    connect(remove, &QPushButton::clicked, this,
            [this] { act(&SettingsPageModel::deleteFromPool); });
    connect(copy, &QPushButton::clicked, this, [this] {
        model_.copySelectionToInit();
        render();
    });
    connect(setList_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.selectSetEntry(row);
        render();
    });
    connect(poolList_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.selectPoolEntry(row);
    });
    return row;
}

QWidget* CPageSettings::buildAddressRows() {
    auto* row = new QWidget(this);
    auto* init = Named(new QLineEdit(row), "InitAddress", "Set Init Address");
    auto* oldBox = Named(new QLineEdit(row), "OldAddress", "Change Address old");
    auto* newBox = Named(new QLineEdit(row), "NewAddress", "Change Address new");
    entries_[static_cast<int>(EntryBox::InitAddress)] = init;
    entries_[static_cast<int>(EntryBox::OldAddress)] = oldBox;
    entries_[static_cast<int>(EntryBox::NewAddress)] = newBox;
    for (int i = 0; i < 4; ++i) {
        QLineEdit* edit = entries_[i];
        edit->setMaxLength(static_cast<int>(kEntryBoxCapacity));
        edit->setMaximumWidth(90);
        edit->setAutoFillBackground(true);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            model_.setEntryText(static_cast<EntryBox>(i), text.toStdString());
        });
    }
    auto* initGo = Button("Go", "InitGo", "Set Init Address Go", row);
    auto* changeGo = Button("Go", "ChangeGo", "Change Address Go", row);
    typeText_ = Named(new QLabel(row), "TypeText", "Board type");
    typeText_->setMinimumWidth(30);
    initGo->setToolTip("Give the fresh board (address 65534) the address in Set Init Address");
    changeGo->setToolTip("Change the board at the left address to the right address");
    const QString boxMeaning =
        "Green: the board took the address; light red: no board took it; light blue: every "
        "board was told to return to 65534";
    init->setToolTip(boxMeaning);
    newBox->setToolTip(boxMeaning);
    typeText_->setToolTip("The two-letter board type given with an address change");

    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* initLabel = new QLabel("Set Init Address", row);
    initLabel->setBuddy(init);
    grid->addWidget(initLabel, 0, 0);
    grid->addWidget(init, 0, 1);
    grid->addWidget(initGo, 0, 4);
    auto* changeLabel = new QLabel("Change Address", row);
    changeLabel->setBuddy(oldBox);
    grid->addWidget(changeLabel, 1, 0);
    grid->addWidget(oldBox, 1, 1);
    auto* arrow = new QLabel("->", row);
    arrow->setAccessibleName("becomes");  // old address -> new address
    grid->addWidget(arrow, 1, 2);
    grid->addWidget(newBox, 1, 3);
    grid->addWidget(changeGo, 1, 4);
    grid->addWidget(typeText_, 1, 5);
    grid->setColumnStretch(6, 1);

    connect(initGo, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::setInitAddress); });
    connect(changeGo, &QPushButton::clicked, this,
            [this] { act(&SettingsPageModel::changeAddress); });
    return row;
}

QWidget* CPageSettings::buildSensorRows() {
    auto* row = new QWidget(this);
    const bool big = context_.resourceInUse;
    typeGroup_ = new QGroupBox("Type", row);
    typeGroup_->setObjectName("TypeGroup");
    typeSelector_ = Selector(TypeEntries(), "TypeSelector", "Type", big, typeGroup_);
    (new QHBoxLayout(typeGroup_))->addWidget(typeSelector_);
    tiltRange_ = Selector(TiltRangeEntries(), "TiltRange", "Tilt range", big, row);
    sensors_[0] = Selector(SensorEntries(), "Sensor1", "Sensor 1", big, row);
    sensors_[1] = Selector(SensorEntries(), "Sensor2", "Sensor 2", big, row);
    sensors_[2] = Selector(ThermEntries(), "Therm", "Therm sensor", big, row);
    sensorRead_ = Button("?", "SensorRead", "Read sensor settings", row);
    sensorWrite_ = Button(".", "SensorWrite", "Write sensor settings", row);
    typeSelector_->setToolTip("Board type given with an address change");
    tiltRange_->setToolTip("Tilt range of the boards; it chooses the prompt file");
    sensors_[0]->setToolTip("Sensor range of axis 1");
    sensors_[1]->setToolTip("Sensor range of axis 2");
    sensors_[2]->setToolTip("Thermistor: N none, TH fitted");
    sensorRead_->setToolTip("Read the selected board's sensor settings");
    sensorWrite_->setToolTip(
        "Write these sensor settings to the selected board (every board with Set to All)");

    auto* tiltLabel = new QLabel("Tilt Range", row);
    tiltLabel->setBuddy(tiltRange_);
    auto* sensorLabel = new QLabel("Sensors", row);
    sensorLabel->setBuddy(sensors_[0]);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(typeGroup_, 0, 0, 1, 2);
    grid->addWidget(tiltLabel, 0, 2, Qt::AlignRight);
    grid->addWidget(tiltRange_, 0, 3);
    grid->addWidget(sensorLabel, 1, 0);
    for (int i = 0; i < 3; ++i) grid->addWidget(sensors_[i], 1, 1 + i);
    grid->addWidget(sensorRead_, 1, 4);
    grid->addWidget(sensorWrite_, 1, 5);
    grid->setColumnStretch(6, 1);

    connect(typeSelector_, &QComboBox::currentIndexChanged, this, [this](int entry) {
        model_.chooseType(entry);
        render();
    });
    connect(tiltRange_, &QComboBox::currentIndexChanged, this,
            [this](int entry) { model_.chooseTiltRange(entry); });
    for (int i = 0; i < 3; ++i) {
        connect(sensors_[i], &QComboBox::currentIndexChanged, this,
                [this, i](int entry) { model_.chooseSensor(i, entry); });
    }
    connect(sensorRead_, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::readSensors); });
    connect(sensorWrite_, &QPushButton::clicked, this,
            [this] { act(&SettingsPageModel::writeSensors); });
    return row;
}

QGroupBox* CPageSettings::buildAxisGroup() {
    axisGroup_ = new QGroupBox("Axis Settings", this);
    axisGroup_->setObjectName("AxisGroup");
    axisChecks_[0] = Named(new QCheckBox("Sw AB", axisGroup_), "SwapAB", "Sw AB");
    axisChecks_[1] = Named(new QCheckBox("NegA", axisGroup_), "NegA", "NegA");
    axisChecks_[2] = Named(new QCheckBox("NegB", axisGroup_), "NegB", "NegB");
    axisHint_ = Named(new QLabel(kAxisHintText, axisGroup_), "AxisHint", kAxisHintText);
    axisRead_ = Button("?", "AxisRead", "Read axis settings", axisGroup_);
    axisWrite_ = Button(".", "AxisWrite", "Write axis settings", axisGroup_);
    axisRead_->setToolTip("Read the selected board's axis settings");
    axisWrite_->setToolTip(
        "Write these axis settings to the selected board (every board with Set to All)");
    auto* box = new QHBoxLayout(axisGroup_);
    for (QCheckBox* check : axisChecks_) box->addWidget(check);
    box->addWidget(axisHint_);
    box->addStretch(1);
    box->addWidget(axisRead_);
    box->addWidget(axisWrite_);

    for (int i = 0; i < 3; ++i) {
        connect(axisChecks_[i], &QCheckBox::toggled, this,
                [this, i](bool checked) { model_.setAxisCheck(i, checked); });
    }
    connect(axisRead_, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::readAxis); });
    connect(axisWrite_, &QPushButton::clicked, this, [this] { act(&SettingsPageModel::writeAxis); });
    return axisGroup_;
}

QWidget* CPageSettings::buildKeypad() {
    auto* row = new QWidget(this);
    status_ = Named(new ColourBox(QString(), row), "StatusBox", "Status");
    status_->setMinimumHeight(28);
    status_->setMinimumWidth(90);
    options_ = Button("Options", "Options", "Options", row);
    options_->setText("&Options");
    status_->setToolTip("Flashes red with the address of a board that gave no answer");

    auto* keys = new QGridLayout;
    const char* labels[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "<-", "Clr"};
    for (int i = 0; i < 12; ++i) {
        const QString label = labels[i];
        const int key = i < 9 ? i + 1 : i == 9 ? 0 : i;  // digits 0..9, then 10 "<-", 11 "Clr"
        const QString name = key == 10 ? "Backspace" : key == 11 ? "Clear" : label;
        auto* button = new QPushButton(label, row);
        button->setObjectName(key == 10 ? "KeyBackspace" : key == 11 ? "KeyClear" : "Key" + label);
        button->setAccessibleName(name);
        button->setMinimumHeight(34);
        if (key == 10) button->setToolTip("Delete the last digit");
        if (key == 11) button->setToolTip("Clear the box");
        keys->addWidget(button, i / 6, i % 6);
        connect(button, &QPushButton::clicked, this, [this, key] { onKeypad(key); });
    }
    auto* side = new QVBoxLayout;
    side->addWidget(status_);
    side->addWidget(options_);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->addLayout(keys, 1);
    box->addLayout(side);

    connect(options_, &QPushButton::clicked, this, [this] {
        menu_->popup(options_->mapToGlobal(QPoint(0, options_->height())));
    });
    return row;
}

// The "_ACTION_" menu: "Addresses" > "Used", "Reset All"; "Adapter" > "Set".
void CPageSettings::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("OptionsMenu");
    QMenu* addresses = menu_->addMenu("Addresses");
    QAction* used = addresses->addAction("Used");
    used->setObjectName("AddressesUsed");
    QAction* resetAll = addresses->addAction("Reset All");
    resetAll->setObjectName("AddressesResetAll");
    QMenu* adapter = menu_->addMenu("Adapter");
    QAction* set = adapter->addAction("Set");
    set->setObjectName("AdapterSet");
    connect(used, &QAction::triggered, this, &CPageSettings::onUsed);
    connect(resetAll, &QAction::triggered, this, &CPageSettings::onResetAll);
    connect(set, &QAction::triggered, this, [this] { adapterWait_->start(); });
}

}  // namespace clinora
