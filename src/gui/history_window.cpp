#include "gui/history_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/chart_widget.h"
#include "gui/colour_box.h"
#include "gui/issue_certificates.h"
#include "gui/records_front.h"
#include "gui/view_helpers.h"

namespace clinora {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Distinct colours for the constants' series.
const QColor kSeriesColours[] = {QColor(0, 90, 200),   QColor(210, 60, 30), QColor(0, 150, 70),
                                 QColor(150, 60, 170), QColor(200, 140, 0), QColor(0, 150, 160),
                                 QColor(120, 120, 120), QColor(90, 50, 20)};

QString EntryText(const TimelineEntry& e) {
    QString text = Q(e.time) + "  " + Q(e.kind) + ": " + Q(e.outcome);
    if (!e.detail.empty()) text += " \u2014 " + Q(e.detail);
    if (!e.file.empty()) text += " (" + Q(e.file) + ")";
    if (!e.station.empty()) text += ", station " + Q(e.station);
    return text;
}

}  // namespace

HistoryWindow::HistoryWindow(RecordsFront* records, CertificateIssuer* certificates,
                             QWidget* parent)
    : ToolWindow("History", parent), records_(records), certificates_(certificates) {
    setObjectName("HistoryWindow");
    setWindowTitle("History");
    setAccessibleName("History");
    buildView();
    resize(720, 760);
    if (records_) {
        // A record stored while the window is up shows at once.
        connect(records_, &RecordsFront::recordStored, this, [this] {
            if (isVisible() && listTicket_ == 0) search();
        });
    }
    if (certificates_)
        connect(certificates_, &CertificateIssuer::busyChanged, this, &HistoryWindow::enableIssue);
}

void HistoryWindow::buildView() {
    auto* filters = new QWidget(this);
    serial_ = Named(new QLineEdit(filters), "SerialFilter");
    serial_->setPlaceholderText("any");
    address_ = Named(new QLineEdit(filters), "AddressFilter");
    address_->setPlaceholderText("any");
    fromOn_ = Named(new QCheckBox("From", filters), "FromOn");
    fromOn_->setAccessibleName("Filter from a date");
    from_ = Named(new QDateEdit(QDate::currentDate().addMonths(-1), filters), "FromDate");
    from_->setAccessibleName("From date");
    toOn_ = Named(new QCheckBox("To", filters), "ToOn");
    toOn_->setAccessibleName("Filter up to a date");
    to_ = Named(new QDateEdit(QDate::currentDate(), filters), "ToDate");
    to_->setAccessibleName("To date");
    for (QDateEdit* date : {from_, to_}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat("yyyy-MM-dd");
        date->setEnabled(false);
    }
    connect(fromOn_, &QCheckBox::toggled, from_, &QWidget::setEnabled);
    connect(toOn_, &QCheckBox::toggled, to_, &QWidget::setEnabled);
    outcome_ = Named(new QComboBox(filters), "OutcomeFilter");
    for (const char* outcome : kHistoryOutcomes)
        outcome_->addItem(*outcome ? QString(outcome) : QString("any"), QString(outcome));
    outcome_->setAccessibleName("Outcome");
    searchButton_ = Named(new QPushButton("&Search", filters), "Search");
    searchButton_->setAccessibleName("Search");
    searchButton_->setDefault(true);
    exportButton_ = Named(new QPushButton("&Export CSV...", filters), "ExportCsv");
    exportButton_->setAccessibleName("Export CSV");
    exportButton_->setToolTip("Save the rows shown as a CSV file");
    auto* grid = new QGridLayout(filters);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(Caption("Serial", serial_), 0, 0);
    grid->addWidget(serial_, 0, 1);
    grid->addWidget(Caption("Address", address_), 0, 2);
    grid->addWidget(address_, 0, 3);
    grid->addWidget(Caption("Outcome", outcome_), 0, 4);
    grid->addWidget(outcome_, 0, 5);
    grid->addWidget(fromOn_, 1, 0);
    grid->addWidget(from_, 1, 1);
    grid->addWidget(toOn_, 1, 2);
    grid->addWidget(to_, 1, 3);
    grid->addWidget(searchButton_, 1, 4);
    grid->addWidget(exportButton_, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    note_ = Named(new ColourBox(QString(), this), "HistoryNote");
    note_->setAccessibleName("History note");
    note_->setWordWrap(true);
    note_->setBackground(colours::kWhite);

    table_ = Named(new QTableWidget(0, static_cast<int>(kHistoryColumns.size()), this),
                   "HistoryTable");
    table_->setAccessibleName("Records");
    QStringList headers;
    for (const char* title : kHistoryColumns) headers << title;
    table_->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < table_->columnCount(); ++c)
        table_->horizontalHeaderItem(c)->setData(Qt::AccessibleTextRole, headers[c]);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->horizontalHeader()->setStretchLastSection(true);
    count_ = Named(new ReadoutLabel(QString(), this), "HistoryCount");
    count_->setAccessibleName("Records listed");

    auto* board = new QWidget(this);
    timelineCaption_ = Named(new ReadoutLabel("Select a record to see its board's timeline.", board),
                             "TimelineCaption");
    timelineCaption_->setAccessibleName("Board");
    timeline_ = Named(new QListWidget(board), "Timeline");
    timeline_->setAccessibleName("Timeline");
    chart_ = Named(new ChartWidget(board), "ConstantsChart");
    chart_->setAccessibleName("Change of the constants");
    chart_->setTitle("Change of the constants between calibrations");
    chart_->setMinimumHeight(220);
    chart_->setXTicks(2, 1, "%d");
    chart_->setToolTip(
        "Each point is the change of a constant from the calibration before, in percent of its "
        "earlier value");
    chart_->hide();
    chartNote_ = Named(new ReadoutLabel(QString(), board), "ChartNote");
    chartNote_->setAccessibleName("Constants chart note");
    chartNote_->setWordWrap(true);
    auto* boardLayout = new QVBoxLayout(board);
    boardLayout->setContentsMargins(0, 0, 0, 0);
    boardLayout->addWidget(timelineCaption_);
    timeline_->setWordWrap(true);
    timeline_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    boardSplit_ = new QSplitter(Qt::Vertical, board);
    QSplitter* boardSplit = boardSplit_;
    boardSplit->addWidget(timeline_);
    boardSplit->addWidget(chart_);
    boardSplit->setStretchFactor(0, 1);
    boardSplit->setStretchFactor(1, 2);
    boardLayout->addWidget(boardSplit, 1);
    boardLayout->addWidget(chartNote_);

    auto* split = new QSplitter(Qt::Vertical, this);
    auto* tableArea = new QWidget(split);
    auto* tableLayout = new QVBoxLayout(tableArea);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addWidget(table_, 1);
    tableLayout->addWidget(count_);
    split->addWidget(tableArea);
    split->addWidget(board);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filters);
    layout->addWidget(note_);
    layout->addWidget(split, 1);
    auto* closeRow = new QHBoxLayout;
    issueButton_ = Named(new QPushButton("&Issue certificate", this), "IssueCertificate");
    issueButton_->setAccessibleName("Issue certificate");
    issueButton_->setToolTip(
        "The calibration certificate (PDF and XML) of the selected calibration or test record's "
        "board, into the working folder's certificates");
    issueButton_->setEnabled(false);
    issueButton_->setVisible(certificates_ != nullptr);
    closeRow->addWidget(issueButton_);
    closeRow->addStretch(1);
    addCloseButton(closeRow);
    layout->addLayout(closeRow);

    connect(searchButton_, &QPushButton::clicked, this, &HistoryWindow::search);
    for (QLineEdit* edit : {serial_, address_})
        connect(edit, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(exportButton_, &QPushButton::clicked, this, &HistoryWindow::onExport);
    connect(issueButton_, &QPushButton::clicked, this, &HistoryWindow::issueCertificate);
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int row) { selectRow(row); });
}

void HistoryWindow::showEvent(QShowEvent* event) {
    ToolWindow::showEvent(event);
    search();
}

void HistoryWindow::setNote(const QString& text, bool trouble) {
    note_->setText(text);
    // A long note (a server's own words) takes the lines it needs.
    note_->setMinimumHeight(note_->heightForWidth(std::max(note_->width(), 400)));
    note_->setState(trouble ? colours::kPaleYellow : colours::kWhite,
                    trouble ? "needs attention" : "");
}

QString HistoryWindow::note() const { return note_->text(); }
QString HistoryWindow::timelineCaption() const { return timelineCaption_->text(); }
int HistoryWindow::timelineCount() const { return timeline_->count(); }

void HistoryWindow::search() {
    if (!records_) {
        setNote("No records are kept by this program.", true);
        return;
    }
    HistoryFilterInput input;
    input.serial = serial_->text().toStdString();
    input.address = address_->text().toStdString();
    if (fromOn_->isChecked()) input.from = from_->date().toString("yyyy-MM-dd").toStdString();
    if (toOn_->isChecked()) input.to = to_->date().toString("yyyy-MM-dd").toStdString();
    input.outcome = outcome_->currentData().toString().toStdString();
    const HistoryFilter made = MakeHistoryFilter(input);
    if (!made.filter) {
        setNote(Q(made.error), true);
        return;
    }
    const int64_t ticket = ++nextTicket_;
    listTicket_ = ticket;
    setNote(records_->historyServer().isEmpty() ? "Reading the records..."
                                                : "Reading the records from the history server...",
            false);
    QPointer<HistoryWindow> self(this);
    records_->list(*made.filter, [self, ticket](const records::RecordsEvent& e) {
        if (!self || self->listTicket_ != ticket) return;
        self->listTicket_ = 0;
        if (e.type == records::RecordsEvent::Type::Failed) {
            self->setNote("The records cannot be read: " + Q(e.message), true);
            return;
        }
        self->model_.setRows(e.rows);
        self->showRows();
        if (!e.message.empty())
            self->setNote(Q(e.message), true);
        else
            self->setNote("Records of " + Q(e.source), false);
    });
}

void HistoryWindow::showRows() {
    const QSignalBlocker block(table_);
    const std::vector<HistoryRow>& rows = model_.rows();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < table_->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(Q(HistoryCell(rows[r], c)));
            item->setData(Qt::UserRole, Q(rows[r].uuid));
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();
    count_->setText(Q(model_.countText()));
    // The board shown before stays selected where it is still listed.
    int keep = -1;
    for (int r = 0; board_ && r < static_cast<int>(rows.size()) && keep < 0; ++r) {
        const auto key = BoardOf(rows[r]);
        if (key && key->serial == board_->serial && key->address == board_->address) keep = r;
    }
    if (keep >= 0) {
        selectRow(keep);
    } else {
        selected_.clear();  // the record chosen before is no longer listed
        enableIssue();
    }
}

void HistoryWindow::selectRow(int row) {
    if (row < 0 || row >= static_cast<int>(model_.rows().size()) || !records_) return;
    if (table_->currentRow() != row) {
        // Chosen from code: the table shows the same row the timeline is of.
        const QSignalBlocker block(table_);
        table_->selectRow(row);
    }
    const HistoryRow& selected = model_.rows()[row];
    selected_ = selected.kind == "calibration" || selected.kind == "test" ? selected.uuid
                                                                           : std::string();
    enableIssue();
    board_ = BoardOf(selected);
    if (!board_) {
        timelineCaption_->setText("The board of this record is not known.");
        timeline_->clear();
        return;
    }
    timelineCaption_->setText(Q(board_->caption) + ": reading its records...");
    const int64_t ticket = ++nextTicket_;
    timelineTicket_ = ticket;
    QPointer<HistoryWindow> self(this);
    records_->list(board_->filter(), [self, ticket](const records::RecordsEvent& e) {
        if (!self || self->timelineTicket_ != ticket) return;
        self->timelineTicket_ = 0;
        if (e.type == records::RecordsEvent::Type::Failed) {
            self->timelineCaption_->setText("The board's records cannot be read: " +
                                            Q(e.message));
            return;
        }
        self->showTimeline(MakeTimeline(e.rows));
    });
}

bool HistoryWindow::waiting() const {
    return listTicket_ != 0 || timelineTicket_ != 0 || (certificates_ && certificates_->busy());
}

void HistoryWindow::enableIssue() {
    issueButton_->setEnabled(certificates_ && !certificates_->busy() && !selected_.empty());
}

void HistoryWindow::issueCertificate() {
    if (!certificates_ || selected_.empty()) return;
    records::CertificateRequest request;
    request.records = {selected_};
    QPointer<HistoryWindow> self(this);
    const bool started = certificates_->issue(request, [self](const CertificateOutcome& o) {
        if (self) self->setNote(o.text(), !o.ok());
    });
    if (started) setNote("Issuing the certificate...", false);
}

void HistoryWindow::showTimeline(const BoardTimeline& t) {
    const int events = static_cast<int>(t.entries.size());
    timelineCaption_->setText(Q(board_ ? board_->caption : std::string()) + QString(": %1 %2")
                                  .arg(events)
                                  .arg(events == 1 ? "event" : "events"));
    timeline_->clear();
    for (const TimelineEntry& e : t.entries) timeline_->addItem(EntryText(e));
    timeline_->scrollToBottom();

    chart_->clearSeries();
    const int n = static_cast<int>(t.calibrations.size());
    chart_->setAxisTitles("Calibration (each against the one before)", "Change (%)");
    for (size_t k = 0; k < t.changes.size(); ++k) {
        const ConstantChange& change = t.changes[k];
        const int series = chart_->addSeries(
            {Q(change.name), kSeriesColours[k % std::size(kSeriesColours)],
             ChartWidget::Style::Points, false, ChartWidget::Marker::Dot, 9});
        QList<QPointF> points;
        for (size_t i = 0; i < change.percent.size(); ++i)
            if (change.percent[i]) points.push_back({static_cast<double>(i + 2), *change.percent[i]});
        chart_->setPoints(series, points);
    }
    // Without a change to show, the note says why instead of an empty chart.
    chart_->setVisible(!t.changes.empty());
    const int height = boardSplit_->height();
    boardSplit_->setSizes(t.changes.empty() ? QList<int>{height, 0}
                                            : QList<int>{height / 3, height - height / 3});
    chart_->setXRange(1.5, std::max(n, 2) + 0.5);
    chart_->setMinimumSpan(1.0);
    QString note = Q(t.note);
    if (n >= 2)
        note = QString("Axis %1: %2 calibrations, %3 to %4. ")
                   .arg(Q(t.axis))
                   .arg(n)
                   .arg(Q(t.calibrations.front()), Q(t.calibrations.back())) +
               note;
    chartNote_->setText(note.trimmed());
}

bool HistoryWindow::exportTo(const QString& path) {
    QSaveFile file(path);
    const std::string text = model_.csv();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        setNote("Cannot write " + path + ": " + file.errorString(), true);
        return false;
    }
    setNote(QString("%1 written to %2").arg(Q(model_.countText()), path), false);
    return true;
}

void HistoryWindow::onExport() {
    const QString path = QFileDialog::getSaveFileName(this, "Export records", "records.csv",
                                                      "CSV files (*.csv)");
    if (!path.isEmpty()) exportTo(path);
}

}  // namespace clinora
