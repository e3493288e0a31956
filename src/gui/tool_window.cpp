#include "gui/tool_window.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "gui/window_places.h"

namespace clinora {

namespace {
constexpr int kGap = 8;  // between the main window and the one beside it
}  // namespace

QRect PlaceBeside(const QRect& main, const QSize& size, const QSize& minimum, const QRect& screen) {
    const int roomRight = screen.right() - main.right() - kGap;
    const int roomLeft = main.left() - screen.left() - kGap;
    int width = size.width();
    bool right = true;
    if (width > roomRight) {
        if (width <= roomLeft) {
            right = false;
        } else {
            right = roomRight >= roomLeft;
            width = std::max(std::min(width, std::max(roomRight, roomLeft)), minimum.width());
        }
    }
    int x = right ? main.right() + 1 + kGap : main.left() - kGap - width;
    if (x < screen.left() || x + width - 1 > screen.right()) x = screen.right() + 1 - width;
    x = std::max(x, screen.left());
    const int height = std::min(size.height(), screen.height());
    int y = std::min(main.top(), screen.bottom() + 1 - height);
    y = std::max(y, screen.top());
    return {x, y, width, height};
}

ToolWindow::ToolWindow(const QString& placeName, QWidget* parent)
    : QWidget(parent, Qt::Window), placeName_(placeName), close_(new QPushButton("&Close", this)) {
    close_->setObjectName("Close");
    close_->setAccessibleName("Close");
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
}

// Escape closes the window as it closes a dialog; the controls inside that
// use it themselves (an open list) take it first.
void ToolWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ToolWindow::addCloseButton(QBoxLayout* row) { row->addWidget(close_); }

void ToolWindow::present() {
    if (!placed_) place();
    show();
    raise();
    activateWindow();
}

void ToolWindow::place() {
    placed_ = true;
    WindowPlaces* places = WindowPlaces::of(parentWidget());
    if (places && restoreGeometry(places->geometry(placeName_))) return;
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main) return;
    const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    // This window's frame is not known before it was first shown: the main
    // window's frame margins stand in for it.
    const QRect frame = main->frameGeometry();
    const QSize margins = frame.size() - main->geometry().size();
    const QRect place =
        PlaceBeside(frame, size() + margins, minimumSizeHint() + margins, available);
    resize(place.size() - margins);
    move(place.topLeft());
}

void ToolWindow::remember() {
    if (WindowPlaces* places = WindowPlaces::of(parentWidget()))
        places->setGeometry(placeName_, saveGeometry());
}

void ToolWindow::hideEvent(QHideEvent* event) {
    remember();
    QWidget::hideEvent(event);
}

}  // namespace clinora
