#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <mutex>

#include "link/event_sink.h"

namespace clinora {

// A worker notification on its way to a page: message 1125 (event code,
// detail) or 1124 (2, port status).
class WorkerEvent final : public QEvent {
public:
    WorkerEvent(int message, int first, int second)
        : QEvent(eventType()), message(message), first(first), second(second) {}
    static QEvent::Type eventType();

    const int message;
    const int first;
    const int second;
};

// The worker's view of a page: post() queues a WorkerEvent to the page with
// QCoreApplication::postEvent, so events arrive on the user-interface thread
// in the order they were posted. Once the page is gone nothing is posted.
class PageEventSink final : public EventSink {
public:
    explicit PageEventSink(QObject* target) : target_(target) {}
    // Worker thread.
    void post(int message, int first, int second) override;
    // User-interface thread: called before the target is destroyed.
    void detach();

private:
    std::mutex mutex_;  // holds the target alive while an event is posted
    QPointer<QObject> target_;
};

}  // namespace clinora
