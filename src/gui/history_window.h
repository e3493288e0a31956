#pragma once

#include <QPointer>
#include <cstdint>

#include "app/history_model.h"
#include "gui/tool_window.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace clinora {

class CertificateIssuer;
class ChartWidget;
class ColourBox;
class ReadoutLabel;
class RecordsFront;

// "History": the records of this station (or, with a history server, of
// every station), newest first, filtered by serial number, address, date
// range and outcome; the timeline of the board of the selected row with
// the change of its constants between calibrations; export of the rows to
// CSV; the certificate of the board of a selected calibration or test
// record. The queries run on the records thread; the answers arrive as events.
class HistoryWindow : public ToolWindow {
    Q_OBJECT
public:
    HistoryWindow(RecordsFront* records, CertificateIssuer* certificates = nullptr,
                  QWidget* parent = nullptr);

    // Lists the records the filter takes (also when the window opens and
    // when a record is stored while it is shown).
    void search();
    // Writes the rows shown to `path` as CSV; false (and the note says why)
    // when it cannot.
    bool exportTo(const QString& path);
    // Shows the timeline of the board of table row `row`.
    void selectRow(int row);
    // Issues the certificate of the selected calibration or test record into
    // the working folder's certificates; the note says where, or why not.
    void issueCertificate();

    const HistoryModel& model() const { return model_; }
    QString note() const;
    QString timelineCaption() const;
    int timelineCount() const;
    ChartWidget* chart() const { return chart_; }
    // Whether a query is on its way.
    bool waiting() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildView();
    void showRows();
    void showTimeline(const BoardTimeline& timeline);
    void setNote(const QString& text, bool trouble);
    void onExport();
    void enableIssue();

    QPointer<RecordsFront> records_;
    QPointer<CertificateIssuer> certificates_;
    std::string selected_;  // the UUID of the selected calibration or test record
    HistoryModel model_;
    std::optional<BoardKey> board_;
    // The query whose answer is awaited (0: none); older answers are dropped.
    int64_t listTicket_ = 0, timelineTicket_ = 0, nextTicket_ = 0;

    QLineEdit* serial_ = nullptr;
    QLineEdit* address_ = nullptr;
    QCheckBox* fromOn_ = nullptr;
    QDateEdit* from_ = nullptr;
    QCheckBox* toOn_ = nullptr;
    QDateEdit* to_ = nullptr;
    QComboBox* outcome_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* issueButton_ = nullptr;
    ColourBox* note_ = nullptr;
    QTableWidget* table_ = nullptr;
    ReadoutLabel* count_ = nullptr;
    ReadoutLabel* timelineCaption_ = nullptr;
    QSplitter* boardSplit_ = nullptr;  // the timeline above the chart
    QListWidget* timeline_ = nullptr;
    ChartWidget* chart_ = nullptr;
    ReadoutLabel* chartNote_ = nullptr;
};

}  // namespace clinora
