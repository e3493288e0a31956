#include "pages/cal_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/app_settings.h"
#include "app/cal_setup_rules.h"
#include "app/page_copies.h"
#include "gui/check_group_box.h"
#include "gui/notifier.h"
#include "gui/spin_edit.h"
#include "gui/view_helpers.h"
#include "link/shared_state.h"
#include "records/record_builders.h"

namespace clinora {
namespace {

constexpr const char* kDiagnosticQuestion =
    "This is for testing only.\r\nDo not use for production calibrations.\r\n"
    "Do you want to set testing mode?";
const QStringList kSoundItems = {"Alarm1", "VoicBeep"};

}  // namespace

CCalSetupDlg::CCalSetupDlg(PageContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setWindowTitle("Calibration Setup");
    buildView();
}

void CCalSetupDlg::setTolerances(double cal, double calTest) {
    calTolerance_ = cal;
    calTestTolerance_ = calTest;
}

void CCalSetupDlg::buildView() {
    continuousReadBox_ = Named(new QCheckBox("Continuous Read", this), "ContinuousRead");
    setTypeToAll_ = Named(new QCheckBox("Set Type and Axis to All devices", this), "SetTypeToAll");
    diagnostic_ =
        Named(new QCheckBox("Diagnostic Mode (for testing only)", this), "DiagnosticMode");
    ok_ = Named(new QPushButton("OK", this), "OK");
    cancel_ = Named(new QPushButton("Cancel", this), "Cancel");
    ok_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildAveraging());
    layout->addWidget(buildSound());
    layout->addWidget(buildRangeCheck());
    layout->addWidget(buildFileAndDisplay());
    layout->addWidget(continuousReadBox_);
    layout->addWidget(setTypeToAll_);
    layout->addWidget(diagnostic_);
    layout->addWidget(buildRecords());
    layout->addStretch(1);
    layout->addLayout(buttons);
    if (context_.resourceInUse) {
        sound_->setFont(ArialFont(12));
        digits_->setFont(ArialFont(12));
    }

    connect(diagnostic_, &QCheckBox::clicked, this, &CCalSetupDlg::onDiagnosticClicked);
    connect(ok_, &QPushButton::clicked, this, &CCalSetupDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CCalSetupDlg::reject);
}

QWidget* CCalSetupDlg::buildAveraging() {
    averaging_ = Named(new CheckGroupBox("Averaging ", this), "AveragingGroup");
    averageNum_ = Named(new SpinEdit(averaging_), "AverageNumber");
    averageNum_->setRange(kAverageNumArrowMin, kAverageNumMax);
    averageNum_->setAccessibleNames("Average Number", "Increase average number",
                                    "Decrease average number");
    averageNum_->edit()->setMaximumWidth(60);
    bar_ = Named(new QCheckBox("Bar", averaging_), "Bar");
    auto* row = new QHBoxLayout(averaging_);
    row->addWidget(Caption("Average Number", averageNum_));
    row->addWidget(averageNum_);
    row->addSpacing(16);
    row->addWidget(bar_);
    row->addStretch(1);
    connect(averaging_, &CheckGroupBox::clicked, this, &CCalSetupDlg::onAveragingClicked);
    return averaging_;
}

QWidget* CCalSetupDlg::buildSound() {
    auto* row = new QWidget(this);
    playSound_ = Named(new QCheckBox(row), "PlaySound");
    playSound_->setAccessibleName("Play sound");
    sound_ = Named(new QComboBox(row), "SoundFile");
    sound_->addItems(kSoundItems);
    sound_->setAccessibleName("Sound File to Play");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(playSound_);
    layout->addWidget(sound_);
    layout->addWidget(Caption("Sound File to Play", sound_));
    layout->addStretch(1);
    return row;
}

QWidget* CCalSetupDlg::buildRangeCheck() {
    rangeCheck_ = Named(new CheckGroupBox("Range Check", this), "RangeCheckGroup");
    cal_ = Named(new QLineEdit(rangeCheck_), "CalTolerance");
    calTest_ = Named(new QLineEdit(rangeCheck_), "CalTestTolerance");
    auto* grid = new QGridLayout(rangeCheck_);
    grid->addWidget(Caption("Cal", cal_), 0, 0);
    grid->addWidget(cal_, 0, 1);
    grid->addWidget(Caption("Cal Test", calTest_), 0, 2);
    grid->addWidget(calTest_, 0, 3);
    return rangeCheck_;
}

QWidget* CCalSetupDlg::buildFileAndDisplay() {
    auto* row = new QWidget(this);
    auto* file = new QGroupBox("Calibration File", row);
    appendData_ = Named(new QCheckBox("Append data", file), "AppendData");
    (new QVBoxLayout(file))->addWidget(appendData_);
    auto* display = new QGroupBox("Display", row);
    digits_ = Named(new QComboBox(display), "DigitCount");
    for (int i = 0; i < 6; ++i) digits_->addItem(QString::number(i));
    digits_->setAccessibleName("Digit #");
    auto* digitRow = new QHBoxLayout(display);
    digitRow->addWidget(Caption("Digit #", digits_));
    digitRow->addWidget(digits_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(file, 1);
    layout->addWidget(display, 1);
    return row;
}

// Who and where, as the records and certificates name them.
QWidget* CCalSetupDlg::buildRecords() {
    auto* group = new QGroupBox("Records and certificates", this);
    group->setObjectName("RecordsGroup");
    const auto line = [group](const char* name, const char* tip) {
        auto* edit = Named(new QLineEdit(group), name);
        edit->setToolTip(tip);
        return edit;
    };
    operator_ = line("Operator", "Who calibrates: named in every record and certificate");
    station_ = line("Station", "This station's name in the records");
    station_->setPlaceholderText(QString::fromStdString(records::HostName()));
    laboratory_ = line("Laboratory", "The laboratory named on the certificates");
    laboratoryAddress_ = Named(new QPlainTextEdit(group), "LaboratoryAddress");
    laboratoryAddress_->setTabChangesFocus(true);
    laboratoryAddress_->setFixedHeight(laboratoryAddress_->fontMetrics().lineSpacing() * 3 + 12);
    city_ = line("LaboratoryCity", "The laboratory's city");
    country_ = line("LaboratoryCountry", "Two capital letters (ISO 3166), such as DE");
    country_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[A-Za-z]{0,2}"), country_));
    country_->setMaximumWidth(48);
    email_ = line("LaboratoryEmail", "The laboratory's e-mail address");
    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption("Operator", operator_), 0, 0);
    grid->addWidget(operator_, 0, 1);
    grid->addWidget(Caption("Station", station_), 0, 2);
    grid->addWidget(station_, 0, 3, 1, 3);
    grid->addWidget(Caption("Laboratory", laboratory_), 1, 0);
    grid->addWidget(laboratory_, 1, 1, 1, 5);
    grid->addWidget(Caption("Laboratory address", laboratoryAddress_), 2, 0, Qt::AlignTop);
    grid->addWidget(laboratoryAddress_, 2, 1, 1, 5);
    grid->addWidget(Caption("City", city_), 3, 0);
    grid->addWidget(city_, 3, 1);
    grid->addWidget(Caption("Country", country_), 3, 2);
    grid->addWidget(country_, 3, 3);
    grid->addWidget(Caption("E-mail", email_), 3, 4);
    grid->addWidget(email_, 3, 5);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(5, 2);
    return group;
}

void CCalSetupDlg::setVisible(bool visible) {
    if (visible && !isVisible()) load();
    QDialog::setVisible(visible);
}

void CCalSetupDlg::load() {
    if (context_.copies) {
        const PageCopies& c = *context_.copies;
        averaging_->setCheck(c.averagingOn);
        bar_->setChecked(c.noiseBarOn);
        playSound_->setChecked(c.playSound);
        sound_->setCurrentIndex(SoundItemForIndex(c.soundFileIndex, sound_->count()));
        diagnostic_->setChecked(c.expertModeOn);
        appendData_->setChecked(c.appendData);
        averageNum_->setText(QString::number(c.averageNum));
        digits_->setCurrentIndex(DigitItemForDecimals(c.calDisplayDecimalNum));
        rangeCheck_->setCheck(c.rangeCheckEnable);
        operator_->setText(QString::fromStdString(c.operatorName));
        station_->setText(QString::fromStdString(c.stationName));
        laboratory_->setText(QString::fromStdString(c.laboratory));
        laboratoryAddress_->setPlainText(QString::fromStdString(c.laboratoryAddress));
        city_->setText(QString::fromStdString(c.laboratoryCity));
        country_->setText(QString::fromStdString(c.laboratoryCountry));
        email_->setText(QString::fromStdString(c.laboratoryEmail));
    }
    continuousReadBox_->setChecked(continuousRead_);
    if (context_.state)
        setTypeToAll_->setChecked(
            context_.state->locked([](const SharedData& d) { return d.settings.setTypeToAll; }));
    cal_->setText(QString::fromStdString(FormatTolerance(calTolerance_)));
    calTest_->setText(QString::fromStdString(FormatTolerance(calTestTolerance_)));
}

void CCalSetupDlg::onAveragingClicked(bool checked) {
    // Kept even when the dialog is cancelled afterwards.
    if (context_.copies) context_.copies->averagingOn = checked;
}

void CCalSetupDlg::onDiagnosticClicked(bool checked) {
    if (!checked) return;
    if (!context_.notifier || !context_.notifier->question(kDiagnosticQuestion))
        diagnostic_->setChecked(false);
}

void CCalSetupDlg::accept() {
    const SetupEntries entries =
        CheckSetupEntries(averageNum_->text().toStdString(), cal_->text().toStdString(),
                          calTest_->text().toStdString());
    if (entries.refused != SetupEntries::kNone) {
        QLineEdit* refused = entries.refused == SetupEntries::kAverageNum     ? averageNum_->edit()
                             : entries.refused == SetupEntries::kCalTolerance ? cal_
                                                                              : calTest_;
        if (context_.notifier) context_.notifier->message(QString::fromStdString(entries.message));
        refused->setFocus();
        refused->selectAll();
        return;
    }
    if (!IsCountryCode(country_->text().trimmed().toUpper().toStdString())) {
        if (context_.notifier)
            context_.notifier->message("The country is two letters (ISO 3166), such as DE.");
        country_->setFocus();
        country_->selectAll();
        return;
    }
    store(entries);
    QDialog::accept();
}

void CCalSetupDlg::store(const SetupEntries& entries) {
    continuousRead_ = continuousReadBox_->isChecked();
    calTolerance_ = entries.calTolerance;
    calTestTolerance_ = entries.calTestTolerance;
    if (context_.copies) {
        PageCopies& c = *context_.copies;
        c.averagingOn = averaging_->getCheck();
        c.averageNum = entries.averageNum;
        c.playSound = playSound_->isChecked();
        c.soundFileIndex = sound_->currentIndex();
        c.calDisplayDecimalNum = digits_->currentIndex();
        c.noiseBarOn = bar_->isChecked();
        c.expertModeOn = diagnostic_->isChecked();
        c.appendData = appendData_->isChecked();
        c.rangeCheckEnable = rangeCheck_->getCheck();
        const auto text = [](const QString& t) { return t.trimmed().toStdString(); };
        c.operatorName = text(operator_->text());
        c.stationName = text(station_->text());
        c.laboratory = text(laboratory_->text());
        c.laboratoryAddress = text(laboratoryAddress_->toPlainText());
        c.laboratoryCity = text(city_->text());
        c.laboratoryCountry = text(country_->text().toUpper());
        c.laboratoryEmail = text(email_->text());
    }
    if (context_.state) {
        const bool all = setTypeToAll_->isChecked();
        context_.state->locked([all](SharedData& d) { d.settings.setTypeToAll = all; });
    }
}

}  // namespace clinora
