#include "gui/input_panel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QEvent>
#include <QInputMethod>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace clinora {
namespace {

bool TakesText(QObject* object) {
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return !edit->isReadOnly();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(object)) return !spin->isReadOnly();
    if (auto* text = qobject_cast<QTextEdit*>(object)) return !text->isReadOnly();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) return !plain->isReadOnly();
    return false;
}

}  // namespace

InputPanel::InputPanel(QObject* parent) : QObject(parent) {}

void InputPanel::install() {
    if (qApp) qApp->installEventFilter(this);
}

void InputPanel::show() { QGuiApplication::inputMethod()->show(); }

void InputPanel::hide() { QGuiApplication::inputMethod()->hide(); }

bool InputPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && TakesText(watched))
        show();
    else if (event->type() == QEvent::FocusOut && TakesText(watched))
        hide();
    return QObject::eventFilter(watched, event);
}

}  // namespace clinora
