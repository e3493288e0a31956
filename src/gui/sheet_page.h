#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "gui/page_context.h"

namespace clinora {

class PageEventSink;
class EventSink;

// A page of the sheet. When it becomes active it registers itself as the
// worker's current page, so the worker's events arrive through
// onWorkerEvent / onPortStatus in the order they were posted.
class SheetPage : public QWidget {
    Q_OBJECT
public:
    SheetPage(const QString& title, PageContext& context, QWidget* parent = nullptr);
    ~SheetPage() override;

    QString title() const { return title_; }
    std::shared_ptr<EventSink> eventSink() const;

    // The sheet is about to show this page; false declines (the sheet stays
    // with the page it had). The default registers the page and accepts.
    virtual bool onSetActive();
    // The sheet is about to leave this page; false keeps it.
    virtual bool onKillActive() { return true; }
    // Asked before the sheet leaves this page for any other (a tab, the
    // keyboard, a menu, Exit): a Yes/No question when leaving would lose
    // work, empty when the page may go. No keeps the page and its work.
    virtual QString leaveQuestion() const { return {}; }
    // The user chose Exit and then declined: the sheet stays with this page,
    // which was already told it was being left. Default: nothing.
    virtual void onExitCancelled() {}

protected:
    void registerAsCurrentPage();
    virtual void onWorkerEvent(int code, int detail);
    virtual void onPortStatus(int status);
    bool event(QEvent* event) override;

    PageContext& context_;

private:
    QString title_;
    std::shared_ptr<PageEventSink> sink_;
};

}  // namespace clinora
