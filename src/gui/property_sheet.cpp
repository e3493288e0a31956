#include "gui/property_sheet.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/notifier.h"
#include "gui/sheet_page.h"

namespace clinora {

namespace {

// QTabWidget answers every layout request by laying out its tab bar and page
// stack again and repainting itself whole, pages included, then asks the
// windows above it to lay out too. A page whose read-out changed its text
// sends one up on every reading although nothing the tab widget lays out has
// changed: such requests are dropped.
class SettledLayoutFilter final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::LayoutRequest) return false;
        auto* tabs = static_cast<QTabWidget*>(watched);
        const Key key{tabs->size(), tabs->tabBar()->sizeHint(), tabs->minimumSizeHint(),
                      tabs->sizeHint(), tabs->count()};
        if (seen_ && key == last_) return true;
        seen_ = true;
        last_ = key;
        return false;
    }

private:
    struct Key {
        QSize size, tabBar, minimum, hint;
        int count = 0;
        bool operator==(const Key&) const = default;
    };
    bool seen_ = false;
    Key last_;
};

}  // namespace

CCePropertySheet::CCePropertySheet(SharedState* state, QWidget* parent)
    : QWidget(parent), state_(state), tabs_(new QTabWidget(this)) {
    tabs_->setDocumentMode(true);
    tabs_->setUsesScrollButtons(false);
    tabs_->installEventFilter(new SettledLayoutFilter(tabs_));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, &CCePropertySheet::onTabChanged);
}

void CCePropertySheet::addPage(SheetPage* page) {
    pages_.push_back(page);
    const QSignalBlocker block(tabs_);
    tabs_->addTab(page, page->title());
}

SheetPage* CCePropertySheet::page(int index) const {
    if (index < 0 || index >= pageCount()) return nullptr;
    return pages_[static_cast<size_t>(index)];
}

QStringList CCePropertySheet::tabTitles() const {
    QStringList titles;
    for (int i = 0; i < tabs_->count(); ++i) titles << tabs_->tabText(i);
    return titles;
}

void CCePropertySheet::start() {
    if (pages_.empty() || active_ >= 0) return;
    {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(0);
    }
    if (pages_.front()->onSetActive()) active_ = 0;
}

void CCePropertySheet::end(int result) {
    if (ended_) return;
    ended_ = true;
    emit finished(result);
}

void CCePropertySheet::selectPage(int index) { tabs_->setCurrentIndex(index); }

bool CCePropertySheet::mayLeave(SheetPage* from) {
    if (!from || !notifier_) return true;
    const QString question = from->leaveQuestion();
    return question.isEmpty() || notifier_->question(question);
}

void CCePropertySheet::onTabChanged(int index) {
    if (index == active_ || ended_) return;
    SheetPage* from = page(active_);
    SheetPage* to = page(index);
    if (to && from && !from->leaveQuestion().isEmpty()) {
        // The page stays in view while its question is open; Yes moves on.
        {
            const QSignalBlocker block(tabs_);
            tabs_->setCurrentIndex(active_);
        }
        if (!mayLeave(from) || ended_) return;
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(index);
    }
    bool moved = to && (!from || from->onKillActive());
    moved = moved && to->onSetActive();
    if (moved) {
        active_ = index;
        return;
    }
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(active_);
}

}  // namespace clinora
