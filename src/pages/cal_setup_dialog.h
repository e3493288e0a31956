#pragma once

#include <QDialog>

#include "gui/page_context.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace clinora {

class CheckGroupBox;
class SpinEdit;
struct SetupEntries;

// "Calibration Setup": the calibration options of the Cal and Test pages.
// Each opening shows the working copies again; OK checks the typed entries
// and stores every option. The page hands in the continuous read flag and
// the two range-check tolerances before the dialog opens and takes them back
// after OK; the Averaging check is stored as soon as it is clicked.
class CCalSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCalSetupDlg(PageContext& context, QWidget* parent = nullptr);

    // Set by the page before the dialog opens, read back after OK.
    void setContinuousRead(bool on) { continuousRead_ = on; }
    bool continuousRead() const { return continuousRead_; }
    // The tolerances keep their value exactly: shown with every digit they
    // carry, and taken back unchanged when the user does not edit them.
    void setTolerances(double cal, double calTest);
    double calTolerance() const { return calTolerance_; }
    double calTestTolerance() const { return calTestTolerance_; }

    // Showing the dialog (exec, open or show) runs the opening steps.
    void setVisible(bool visible) override;

public slots:
    // OK: a refused entry keeps the dialog open and stores nothing.
    void accept() override;

private:
    void buildView();
    QWidget* buildAveraging();
    QWidget* buildSound();
    QWidget* buildRangeCheck();
    QWidget* buildFileAndDisplay();
    QWidget* buildRecords();
    // The opening steps: every control from its setting.
    void load();
    // OK with accepted entries: every option into its working copy.
    void store(const SetupEntries& entries);
    void onAveragingClicked(bool checked);
    void onDiagnosticClicked(bool checked);

    PageContext& context_;
    bool continuousRead_ = false;
    double calTolerance_ = 0;
    double calTestTolerance_ = 0;

    CheckGroupBox* averaging_ = nullptr;
    SpinEdit* averageNum_ = nullptr;
    QCheckBox* bar_ = nullptr;
    QCheckBox* playSound_ = nullptr;
    QComboBox* sound_ = nullptr;
    CheckGroupBox* rangeCheck_ = nullptr;
    QLineEdit* cal_ = nullptr;
    QLineEdit* calTest_ = nullptr;
    QCheckBox* appendData_ = nullptr;
    QComboBox* digits_ = nullptr;
    QCheckBox* continuousReadBox_ = nullptr;
    QCheckBox* setTypeToAll_ = nullptr;
    QCheckBox* diagnostic_ = nullptr;
    // Named in the records and certificates.
    QLineEdit* operator_ = nullptr;
    QLineEdit* station_ = nullptr;
    QLineEdit* laboratory_ = nullptr;
    QPlainTextEdit* laboratoryAddress_ = nullptr;
    QLineEdit* city_ = nullptr;
    QLineEdit* country_ = nullptr;
    QLineEdit* email_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace clinora
