#include "gui/worker_event.h"

#include <QCoreApplication>

namespace clinora {

QEvent::Type WorkerEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PageEventSink::post(int message, int first, int second) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (QObject* target = target_.data())
        QCoreApplication::postEvent(target, new WorkerEvent(message, first, second));
}

void PageEventSink::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_.clear();
}

}  // namespace clinora
