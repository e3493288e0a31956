#include "gui/timed_message_box.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace clinora {

CTimedMessageBoxDlg::CTimedMessageBoxDlg(QWidget* parent, Clock* clock)
    : QDialog(parent), clock_(clock ? *clock : realClock_), label_(new QLabel(this)) {
    setWindowTitle("Message");
    setModal(true);
    label_->setAlignment(Qt::AlignCenter);
    label_->setWordWrap(true);
    label_->setMinimumHeight(label_->fontMetrics().lineSpacing() * 3);
    auto* cancel = new QPushButton("Cancel", this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CTimedMessageBoxDlg::tick);
}

void CTimedMessageBoxDlg::prepare(int seconds, const QString& text) {
    seconds_ = seconds < 0 ? -1 : seconds;
    deadlineMs_ = 0;
    label_->setText(text);
}

int CTimedMessageBoxDlg::show(int seconds, const QString& text) {
    prepare(seconds, text);
    return exec();
}

void CTimedMessageBoxDlg::open(int seconds, const QString& text) {
    prepare(seconds, text);
    QDialog::open();
}

QString CTimedMessageBoxDlg::text() const { return label_->text(); }

void CTimedMessageBoxDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (seconds_ != 0) {
        if (seconds_ == -1) seconds_ = kDefaultSeconds;
        deadlineMs_ = clock_.nowMs() + int64_t{seconds_} * 1000;
    }
    timer_.start();
}

void CTimedMessageBoxDlg::tick() {
    if (deadlineMs_ != 0 && clock_.nowMs() >= deadlineMs_) accept();
}

void CTimedMessageBoxDlg::done(int result) {
    timer_.stop();
    QDialog::done(result);
}

}  // namespace clinora
