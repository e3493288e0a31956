#include "gui/page_exit.h"

#include <QApplication>
#include <QDialog>

#include "app/page_host_setup.h"
#include "gui/notifier.h"
#include "gui/property_sheet.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"

namespace clinora {

CPageExit::CPageExit(PageContext& context, CCePropertySheet* sheet, QWidget* parent)
    : SheetPage("Exit", context, parent), sheet_(sheet) {
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &CPageExit::afterPause);
}

bool CPageExit::onSetActive() {
    // The pause runs on a timer so the window stays responsive; the question
    // follows it. Until then, and after No, the previous page stays shown.
    if (!pause_.isActive()) pause_.start();
    return false;
}

void CPageExit::afterPause() {
    // The worker is told to stop triggering whatever the answer; a refusal
    // (worker busy) does not hold up the exit.
    if (context_.state) PostRequest(*context_.state, request_, kTriggerOffRequest);
    if (!context_.notifier || !context_.notifier->question(kQuestion)) {
        if (sheet_ && sheet_->activePage()) sheet_->activePage()->onExitCancelled();
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (context_.state && context_.copies && context_.settings && context_.files)
        SaveAtExit(*context_.state, *context_.copies, *context_.settings, *context_.files);
    QApplication::restoreOverrideCursor();
    if (QWidget* window = context_.mainWindow.data())
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    if (sheet_) sheet_->end(QDialog::Accepted);
}

}  // namespace clinora
