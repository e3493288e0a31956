#include "worker_thread.h"

#include "worker.h"
#include "worker_codes.h"

namespace clinora {

void WorkerThread::start(SharedState& state) {
    if (thread_.joinable()) return;
    state_ = &state;
    thread_ = std::thread([&state, &clock = clock_] {
        Worker worker(state, clock);
        while (!worker.ended()) worker.pass();
    });
}

void WorkerThread::stop() {
    if (!thread_.joinable()) return;
    // The worker ends what it is doing after the line it is sending (its
    // waits and pauses end at once), then closes the port in state 12.
    state_->locked([](SharedData& d) { d.worker.stop = true; });
    thread_.join();
}

void StartWorker(SharedState& state, WorkerThread& thread, std::weak_ptr<EventSink> window,
                 int deviceChoice) {
    const bool start = state.locked([&](SharedData& d) {
        if (deviceChoice == 0) d.worker.usbPortFound = false;
        if (d.worker.started) return false;
        d.worker.started = true;
        d.worker.state = kStateOpen;
        d.worker.requestPending = false;
        // Set before the thread runs so that its first events reach the window.
        d.worker.currentPage = std::move(window);
        return true;
    });
    if (start) thread.start(state);
}

namespace {

// The hand-shake: one request pending at a time; the caller's code is
// remembered even when the request is refused.
bool MarkPending(WorkerShared& w, uint32_t code) {
    w.lastRequestCode = code;
    if (w.requestPending) return false;
    w.requestPending = true;
    w.requestCode = code;
    return true;
}

}  // namespace

bool PostRequest(SharedState& state, const RequestRecord& record, uint32_t code) {
    return state.locked([&](SharedData& d) {
        if (!d.worker.started) return false;
        d.request = record;
        return MarkPending(d.worker, code);
    });
}

bool SubmitRequest(SharedState& state, const WorkerRequest& request) {
    return state.locked([&](SharedData& d) {
        // A refused request leaves the one in force as it is: its board count,
        // write target, constants and record are what the worker is using.
        if (!d.worker.started) return false;
        if (d.worker.requestPending) {
            d.worker.lastRequestCode = request.code;
            return false;
        }
        if (request.boardCount) d.worker.boardCount = *request.boardCount;
        if (request.writeTarget) d.worker.writeTarget = *request.writeTarget;
        if (request.devices) d.devices = *request.devices;
        if (request.monitorUnits) d.settings.monitorUnits = *request.monitorUnits;
        if (request.axisSelector) d.settings.axisSelector = *request.axisSelector;
        d.request = request.record;
        return MarkPending(d.worker, request.code);
    });
}

bool PostConnectRequest(SharedState& state, int comPortNumber, bool usbPortFound) {
    return state.locked([&](SharedData& d) {
        d.worker.comPortNumber = comPortNumber;
        d.worker.usbPortFound = usbPortFound;
        if (!d.worker.started) return false;
        return MarkPending(d.worker, kConnectRequest);
    });
}

}  // namespace clinora
