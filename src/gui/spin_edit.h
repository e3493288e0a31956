#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace clinora {

// A number edit with up and down buttons beside it. The edit takes any text
// (the page decides what it accepts); the buttons step the number it holds
// within the range, starting from the low end when it holds no number.
class SpinEdit : public QWidget {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    void setRange(int low, int high);
    int low() const { return low_; }
    int high() const { return high_; }

    QString text() const;
    void setText(const QString& text);
    void stepBy(int steps);
    // What screen readers call the edit and its two buttons.
    void setAccessibleNames(const QString& edit, const QString& increase, const QString& decrease);

    QLineEdit* edit() const { return edit_; }
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

private:
    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
    int low_ = 0;
    int high_ = 100;
};

}  // namespace clinora
