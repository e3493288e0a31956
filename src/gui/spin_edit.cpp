#include "gui/spin_edit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace clinora {

SpinEdit::SpinEdit(QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit(this)),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(up_);
    buttons->addWidget(down_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(edit_, 1);
    layout->addLayout(buttons);
    setFocusProxy(edit_);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void SpinEdit::setRange(int low, int high) {
    low_ = std::min(low, high);
    high_ = std::max(low, high);
}

QString SpinEdit::text() const { return edit_->text(); }

void SpinEdit::setText(const QString& text) { edit_->setText(text); }

void SpinEdit::setAccessibleNames(const QString& edit, const QString& increase,
                                  const QString& decrease) {
    setAccessibleName(edit);
    edit_->setAccessibleName(edit);
    up_->setAccessibleName(increase);
    down_->setAccessibleName(decrease);
}

void SpinEdit::stepBy(int steps) {
    bool ok = false;
    // A huge typed number is first brought into int range, so adding cannot overflow.
    const qint64 now =
        std::clamp<qint64>(edit_->text().trimmed().toLongLong(&ok), INT_MIN, INT_MAX);
    const qint64 next = ok ? std::clamp<qint64>(now + steps, low_, high_) : low_;
    edit_->setText(QString::number(next));
}

}  // namespace clinora
