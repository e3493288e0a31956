#include "pages/page_status.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/device_status.h"
#include "gui/readout_label.h"
#include "link/shared_state.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"

namespace clinora {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The two columns with empty headers, as the page has always shown them; a
// screen reader still hears what each column holds.
void SetEmptyHeaders(QTreeWidget* list) {
    list->setHeaderLabels({QString(), QString()});
    list->headerItem()->setData(0, Qt::AccessibleTextRole, "Property");
    list->headerItem()->setData(1, Qt::AccessibleTextRole, "Value");
}

}  // namespace

CPageStatus::CPageStatus(PageContext& context, QWidget* parent)
    : SheetPage("Status", context, parent),
      list_(new QTreeWidget(this)),
      update_(new QPushButton("Update", this)),
      fahrenheit_(new QCheckBox("Fahrenheit units", this)),
      note_(new ReadoutLabel(" ", this)) {
    list_->setObjectName("StatusList");
    list_->setAccessibleName("Board identity");
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    SetEmptyHeaders(list_);
    list_->header()->setStretchLastSection(false);
    update_->setObjectName("Update");
    fahrenheit_->setObjectName("Fahrenheit");
    note_->setObjectName("UpdateNote");
    note_->setAccessibleName("Update result");
    note_->setWordWrap(true);

    auto* group = new QGroupBox("Get Stats", this);
    auto* inside = new QVBoxLayout(group);
    inside->addWidget(update_, 0, Qt::AlignLeft);
    inside->addWidget(list_);
    inside->addWidget(note_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(group);
    layout->addWidget(fahrenheit_);
    layout->addStretch(1);
    list_->setMaximumHeight(140);

    triggerOff_.setSingleShot(true);
    triggerOff_.setInterval(kTriggerOffDelayMs);
    connect(&triggerOff_, &QTimer::timeout, this, &CPageStatus::sendTriggerOff);
    connect(update_, &QPushButton::clicked, this, &CPageStatus::onUpdate);
    connect(fahrenheit_, &QCheckBox::clicked, this, &CPageStatus::onFahrenheitClicked);
}

void CPageStatus::rebuildList(bool withValues) {
    list_->clear();
    list_->setColumnCount(2);
    SetEmptyHeaders(list_);
    SharedData data;
    if (withValues && context_.state) data = context_.state->snapshot();
    const auto rows = DeviceStatusRows(withValues && context_.state ? &data.readings : nullptr);
    const QFontMetrics metrics(list_->font());
    int labelWidth = 0, valueWidth = 0;
    for (const StatusRow& row : rows) {
        const QString label = QString::fromStdString(row.label);
        const QString value = QString::fromStdString(row.value);
        list_->addTopLevelItem(new QTreeWidgetItem({label, value}));
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
        valueWidth = std::max(valueWidth, metrics.horizontalAdvance(value));
    }
    list_->setColumnWidth(0, labelWidth + 10);
    list_->setColumnWidth(1, valueWidth + 140);
}

bool CPageStatus::onSetActive() {
    if (firstActivation_) {
        list_->setSelectionBehavior(QAbstractItemView::SelectRows);
        list_->setAllColumnsShowFocus(true);
        firstActivation_ = false;
    }
    rebuildList(false);
    // The boards stop triggering about a second after the page is shown; the
    // window stays responsive meanwhile.
    triggerOff_.start();
    const bool fahrenheit = context_.state && context_.state->locked([](const SharedData& d) {
        return d.settings.fahrenheit;
    });
    fahrenheit_->setChecked(fahrenheit);
    registerAsCurrentPage();
    return true;
}

bool CPageStatus::onKillActive() {
    // Once the page is left the request would only disturb the next page's work.
    triggerOff_.stop();
    return true;
}

void CPageStatus::sendTriggerOff() {
    if (context_.state) PostRequest(*context_.state, request_, kTriggerOffRequest);
}

void CPageStatus::onUpdate() {
    rebuildList(false);
    if (!context_.state) return;
    const std::string found =
        context_.state->locked([](const SharedData& d) { return d.readings.foundAddress; });
    if (found.empty()) {
        note_->setText("No board has answered yet, so there is none to ask. "
                       "The Monitor page shows the state of the link.");
        return;
    }
    request_.targetAddress = found;
    if (PostRequest(*context_.state, request_, kDeviceInfoRequest))
        note_->setText(Q("Asking board " + found + "..."));
    else
        note_->setText("Busy with another request: press Update again.");
}

void CPageStatus::onFahrenheitClicked(bool checked) {
    if (context_.state)
        context_.state->locked([checked](SharedData& d) { d.settings.fahrenheit = checked; });
}

void CPageStatus::onWorkerEvent(int code, int detail) {
    if (code != kEventDeviceInfo) return;
    rebuildList(true);
    const std::string address = request_.targetAddress;
    note_->setText(detail == 1 ? QString(" ") : Q("No answer from board " + address + "."));
}

}  // namespace clinora
