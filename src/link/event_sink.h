#pragma once

namespace clinora {

// Message numbers of the two kinds of worker notification.
inline constexpr int kWorkerEventMessage = 1125;  // event code, detail
inline constexpr int kPortStatusMessage = 1124;   // 2, port status code

// Whoever shows the worker's events: a page of the user interface, or a
// recorder in tests. post() must queue and return at once; it is called on the
// worker thread.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void post(int message, int first, int second) = 0;
};

}  // namespace clinora
