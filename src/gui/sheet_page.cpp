#include "gui/sheet_page.h"

#include "gui/worker_event.h"
#include "link/shared_state.h"

namespace clinora {

SheetPage::SheetPage(const QString& title, PageContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      title_(title),
      sink_(std::make_shared<PageEventSink>(this)) {
    setObjectName(title);
}

SheetPage::~SheetPage() { sink_->detach(); }

std::shared_ptr<EventSink> SheetPage::eventSink() const { return sink_; }

bool SheetPage::onSetActive() {
    registerAsCurrentPage();
    return true;
}

void SheetPage::registerAsCurrentPage() {
    if (!context_.state) return;
    std::weak_ptr<EventSink> sink = sink_;
    context_.state->locked([&](SharedData& d) { d.worker.currentPage = sink; });
}

void SheetPage::onWorkerEvent(int, int) {}

void SheetPage::onPortStatus(int) {}

bool SheetPage::event(QEvent* event) {
    if (event->type() == WorkerEvent::eventType()) {
        const auto* e = static_cast<WorkerEvent*>(event);
        if (e->message == kWorkerEventMessage)
            onWorkerEvent(e->first, e->second);
        else if (e->message == kPortStatusMessage)
            onPortStatus(e->second);
        return true;
    }
    return QWidget::event(event);
}

}  // namespace clinora
