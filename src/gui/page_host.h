#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "gui/page_context.h"

class QHBoxLayout;

namespace clinora {

class CCePropertySheet;
class EventSink;
class PageEventSink;
class SheetPage;

// Builds one page of the sheet.
using PageMaker = std::function<SheetPage*(PageContext& context, QWidget* parent)>;
// The pages that come from elsewhere; a missing maker gives an empty page
// with the page's title.
struct PageMakers {
    PageMaker monitor, settings, cal, test, status;
};

// Fills the frame: owns the sheet and its pages; optionally a side panel
// beside the sheet. It is the worker's page host window, which takes the
// worker's events 1 and 19 without any visible action.
class PageHost : public QWidget {
    Q_OBJECT
public:
    explicit PageHost(QWidget* parent = nullptr);
    ~PageHost() override;

    void setSharedState(SharedState* state) { context_.state = state; }
    PageContext& context() { return context_; }

    // The set-up: decides calibration mode, reads the address files, becomes
    // the page host window, adds the pages in order and runs the sheet.
    void setUp(const PageMakers& makers);

    CCePropertySheet* sheet() const { return sheet_; }
    void setSidePanel(QWidget* panel);
    std::shared_ptr<EventSink> eventSink() const;

protected:
    bool event(QEvent* event) override;

private:
    SheetPage* make(const PageMaker& maker, const QString& title);

    PageContext context_;
    std::shared_ptr<PageEventSink> sink_;
    CCePropertySheet* sheet_ = nullptr;
    QHBoxLayout* layout_;
};

}  // namespace clinora
