#include "pages/page_status.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

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

void CPageStatus::render() {
    list_->clear();
    list_->setColumnCount(2);
    SetEmptyHeaders(list_);
    const QFontMetrics metrics(list_->font());
    int labelWidth = 0, valueWidth = 0;
    for (const StatusRow& row : model_.view().rows) {
        const QString label = Q(row.label);
        const QString value = Q(row.value);
        list_->addTopLevelItem(new QTreeWidgetItem({label, value}));
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
        valueWidth = std::max(valueWidth, metrics.horizontalAdvance(value));
    }
    list_->setColumnWidth(0, labelWidth + 10);
    list_->setColumnWidth(1, valueWidth + 140);
    note_->setText(Q(model_.view().note));
}

bool CPageStatus::onSetActive() {
    if (firstActivation_) {
        list_->setSelectionBehavior(QAbstractItemView::SelectRows);
        list_->setAllColumnsShowFocus(true);
        firstActivation_ = false;
    }
    model_.activate();
    render();
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
    if (context_.state) SubmitRequest(*context_.state, model_.triggerOffRequest());
}

void CPageStatus::onUpdate() {
    StatusPageModel::Link link;
    if (context_.state) {
        link = context_.state->locked([](const SharedData& d) {
            return StatusPageModel::Link{d.readings.foundAddress, d.worker.usbPortFound};
        });
    }
    const std::optional<WorkerRequest> request = model_.update(link);
    // The page's own request supersedes the trigger-off still waiting, which
    // would cut it short.
    if (request) triggerOff_.stop();
    if (request && context_.state && !SubmitRequest(*context_.state, *request))
        model_.requestRefused();
    render();
}

void CPageStatus::onFahrenheitClicked(bool checked) {
    if (context_.state)
        context_.state->locked([checked](SharedData& d) { d.settings.fahrenheit = checked; });
}

void CPageStatus::onWorkerEvent(int code, int detail) {
    if (code != kEventDeviceInfo && code != kEventAddressQuery) return;
    const Readings readings = context_.state ? context_.state->snapshot().readings : Readings{};
    model_.onEvent(code, detail, readings);
    render();
}

}  // namespace clinora
