#include "gui/page_host.h"

#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>

#include "app/page_host_setup.h"
#include "gui/page_exit.h"
#include "gui/property_sheet.h"
#include "gui/sheet_page.h"
#include "gui/worker_event.h"
#include "link/shared_state.h"

namespace clinora {

PageHost::PageHost(QWidget* parent)
    : QWidget(parent),
      sink_(std::make_shared<PageEventSink>(this)),
      layout_(new QHBoxLayout(this)) {
    setObjectName("PageHost");
    layout_->setContentsMargins(0, 0, 0, 0);
}

PageHost::~PageHost() { sink_->detach(); }

std::shared_ptr<EventSink> PageHost::eventSink() const { return sink_; }

void PageHost::setSidePanel(QWidget* panel) {
    panel->setParent(this);
    layout_->addWidget(panel, 0);
}

SheetPage* PageHost::make(const PageMaker& maker, const QString& title) {
    if (maker) return maker(context_, sheet_);
    return new SheetPage(title, context_, sheet_);
}

void PageHost::setUp(const PageMakers& makers) {
    if (sheet_ || !context_.state || !context_.files) return;
    const bool calibrationMode = LoadAddressLists(*context_.files, *context_.state);
    std::weak_ptr<EventSink> host = sink_;
    context_.state->locked([&](SharedData& d) { d.worker.pageHost = host; });

    sheet_ = new CCePropertySheet(context_.state, this);
    sheet_->setObjectName("Sheet");
    sheet_->setNotifier(context_.notifier);
    layout_->insertWidget(0, sheet_, 1);
    sheet_->addPage(make(makers.monitor, "Monitor"));
    if (calibrationMode) {
        sheet_->addPage(make(makers.settings, "Settings"));
        sheet_->addPage(make(makers.cal, "Cal"));
        sheet_->addPage(make(makers.test, "Test"));
    }
    sheet_->addPage(make(makers.status, "Status"));
    sheet_->addPage(new CPageExit(context_, sheet_, sheet_));
    sheet_->start();
    // The keyboard starts on the pages (the simulated demo's fixture panel
    // comes first in the chain, and its spin box would take the focus).
    sheet_->tabs()->tabBar()->setFocus();
}

bool PageHost::event(QEvent* event) {
    if (event->type() == WorkerEvent::eventType()) return true;  // no visible action
    return QWidget::event(event);
}

}  // namespace clinora
