#include "gui/check_group_box.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace clinora {

CheckGroupBox::CheckGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(parent), caption_(caption), check_(new QCheckBox(caption, this)) {
    // The group's own caption becomes blanks at least as wide as the caption
    // plus 37 pixels, so its frame line leaves a gap for the check box.
    const QFontMetrics metrics(font());
    const int wanted = metrics.horizontalAdvance(caption) + 37;
    QString blanks;
    while (metrics.horizontalAdvance(blanks) < wanted) blanks += ' ';
    setTitle(blanks);
    setAccessibleName(caption);  // not the blanks

    check_->setObjectName("CheckGroupBoxCheck");
    check_->setProperty("controlId", kCheckBoxId);
    check_->setFont(font());
    setFocusProxy(check_);
    connect(check_, &QCheckBox::clicked, this, [this](bool checked) {
        applyContents();
        emit clicked(checked);
    });
    placeCheckBox();
    check_->show();
}

bool CheckGroupBox::getCheck() const { return check_->isChecked(); }

void CheckGroupBox::setCheck(bool checked) {
    check_->setChecked(checked);
    applyContents();
}

void CheckGroupBox::applyContents() {
    const bool on = check_->isChecked();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == check_) continue;
        if (leaveLabels_ && qobject_cast<QLabel*>(child)) continue;
        child->setEnabled(on);
    }
}

void CheckGroupBox::placeCheckBox() {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect label =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
    const int width = QFontMetrics(font()).horizontalAdvance(caption_) + 32;
    const int height = std::max(label.height(), check_->sizeHint().height());
    const int top = label.center().y() - height / 2;
    check_->setGeometry(std::max(label.left(), 12), std::max(top, 0), width, height);
    check_->raise();
}

void CheckGroupBox::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    // A disabled group disables the check box and everything inside with it
    // (Qt does that for children); re-enabled, the contents come back only
    // when ticked, because unticked contents stay disabled themselves.
    if (event->type() == QEvent::FontChange) placeCheckBox();
}

void CheckGroupBox::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    placeCheckBox();
}

}  // namespace clinora
