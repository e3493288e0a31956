#include "gui/notifier.h"

#include <QMessageBox>

#include "app/startup_rules.h"
#include "gui/timed_message_box.h"

namespace clinora {

QtNotifier::QtNotifier(QWidget* parent) : parent_(parent) {}

QtNotifier::~QtNotifier() = default;

void QtNotifier::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

void QtNotifier::error(const QString& text) { QMessageBox::critical(parent_, kAppTitle, text); }

bool QtNotifier::question(const QString& text) {
    return QMessageBox::question(parent_, kAppTitle, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtNotifier::timedMessage(int seconds, const QString& text) {
    if (!timedBox_) timedBox_ = std::make_unique<CTimedMessageBoxDlg>(parent_);
    timedBox_->show(seconds, text);
}

}  // namespace clinora
