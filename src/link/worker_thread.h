#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "clock.h"
#include "event_sink.h"
#include "request_record.h"
#include "shared_state.h"

namespace clinora {

// The thread that owns the bus: it repeats Worker::pass() until the worker
// ends. Destroying it sets the stop flag and waits for the worker to end
// (after the command line it is sending, never in the middle of one), so it
// must go before the SharedState it runs on.
class WorkerThread {
public:
    explicit WorkerThread(Clock& clock) : clock_(clock) {}
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread on `state` (once; later calls do nothing).
    void start(SharedState& state);
    // Sets the stop flag and joins: the worker ends in state 12, which closes the port.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    Clock& clock_;
    SharedState* state_ = nullptr;
    std::thread thread_;
};

// Starts the worker once: clears the USB port found flag when `deviceChoice`
// is 0, makes `window` the current page and runs the thread in state 1.
// Does nothing when the worker has already started.
void StartWorker(SharedState& state, WorkerThread& thread, std::weak_ptr<EventSink> window,
                 int deviceChoice);

// Hands a request to the worker. The record becomes the record in force even
// when the request is refused (another one still pending: false). Before the
// worker has started nothing changes (false).
bool PostRequest(SharedState& state, const RequestRecord& record, uint32_t code);

// A request together with everything the worker reads for it. The pages hand
// it over in one piece, so the worker never sees a write target of one request
// with the device records of another. Fields left empty keep their values.
struct WorkerRequest {
    uint32_t code = 0;
    RequestRecord record;
    std::optional<int> boardCount;   // boards the multi-board states walk
    std::optional<int> writeTarget;  // a board index, or the board count for all
    std::optional<std::array<DeviceRecord, kMaxBoards>> devices;  // constants to upload or verify
    std::optional<int> monitorUnits;  // reading type set by the init ("RU" code)
    std::optional<int> axisSelector;  // 1 axis A, 0 axis B
};

// PostRequest for a whole WorkerRequest: the fields and the record are set and
// the hand-shake is tried under one lock. Unlike PostRequest, a refused
// request changes nothing but the last request code.
bool SubmitRequest(SharedState& state, const WorkerRequest& request);

// Reconnect: selects the port and marks a connect request pending like
// PostRequest, but keeps the record in force.
bool PostConnectRequest(SharedState& state, int comPortNumber, bool usbPortFound);

}  // namespace clinora
