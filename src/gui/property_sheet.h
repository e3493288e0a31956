#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

class QTabWidget;

namespace clinora {

class Notifier;
class SharedState;
class SheetPage;

// The tabbed sheet that carries the pages, each tab labelled with its page's
// title. Changing tabs first puts the old page's leave question, if it has
// one; then asks the old page to let go and the new one to accept. A No or
// a page that declines leaves the sheet where it was.
class CCePropertySheet : public QWidget {
    Q_OBJECT
public:
    explicit CCePropertySheet(SharedState* state, QWidget* parent = nullptr);

    void addPage(SheetPage* page);
    // Where the pages' leave questions are put (none: pages are left without one).
    void setNotifier(Notifier* notifier) { notifier_ = notifier; }
    // Runs the sheet: the first page becomes active. Returns at once; the
    // sheet's end is announced by `finished`.
    void start();
    // Ends the sheet with a result (QDialog::Accepted for OK).
    void end(int result);

    int pageCount() const { return static_cast<int>(pages_.size()); }
    SheetPage* page(int index) const;
    int activeIndex() const { return active_; }
    SheetPage* activePage() const { return page(active_); }
    QStringList tabTitles() const;
    bool ended() const { return ended_; }
    // Selects a page as a tap on its tab would.
    void selectPage(int index);
    QTabWidget* tabs() const { return tabs_; }

signals:
    void finished(int result);

private:
    void onTabChanged(int index);
    // The page being left agrees (no question, or Yes to it).
    bool mayLeave(SheetPage* from);

    SharedState* state_;
    Notifier* notifier_ = nullptr;
    QTabWidget* tabs_;
    std::vector<SheetPage*> pages_;
    int active_ = -1;
    bool ended_ = false;
};

}  // namespace clinora
