#pragma once

#include <QWidget>

class QBoxLayout;
class QPushButton;

namespace clinora {

// A window of its own that belongs to a page (the trend, the fit residuals):
// a Close button, Escape closes it, it first opens beside the main window
// rather than over its pages and message line, and it comes back where the
// user last left it (WindowPlaces, under `placeName`).
class ToolWindow : public QWidget {
    Q_OBJECT
public:
    ToolWindow(const QString& placeName, QWidget* parent);

    // Shows the window in its place and brings it to the front.
    void present();
    QPushButton* closeButton() const { return close_; }
    QString placeName() const { return placeName_; }
    // Whether there is anything to show yet.
    virtual bool hasContent() const { return true; }
    // Notes where the window is now (also done whenever it hides).
    void remember();

protected:
    // Puts the Close button at the end of `row` (the window's last row).
    void addCloseButton(QBoxLayout* row);
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void place();

    QString placeName_;
    QPushButton* close_;
    bool placed_ = false;
};

// Where a window of `size` (at least `minimum`) goes beside `main` on
// `screen`, each a frame rectangle: to the right of it when it fits there,
// else to its left; when neither side has room, on the roomier side made
// as narrow as it may be, and only when even that does not fit, at the
// screen's right edge. Level with the main window's top, moved up where the
// screen's bottom would cut it.
QRect PlaceBeside(const QRect& main, const QSize& size, const QSize& minimum, const QRect& screen);

}  // namespace clinora
