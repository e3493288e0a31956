// The worker's main loop, request intake, step patterns and event posting.
#include "worker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "worker_codes.h"

namespace clinora {

Worker::Worker(SharedState& state, Clock& clock)
    : state_(state),
      clock_(clock),
      protocol_(state, clock, [this](int code, int detail) { post(code, detail); }) {
    protocol_.setRepeatAttempts(kExchangeAttempts);
    // A stop ends the work in progress after the line being sent.
    protocol_.setStopCheck(
        [this] { return state_.locked([](const SharedData& d) { return d.worker.stop; }); });
}

void Worker::pass() {
    if (ended_) return;
    // Nothing that goes wrong in one pass may end the thread that owns the
    // bus (and with it the program): the worker starts over from state 0.
    try {
        passOnce();
    } catch (const std::exception& e) {
        recover(e.what());
    } catch (...) {
        recover("unknown error");
    }
}

void Worker::recover(const char* what) {
    std::fprintf(stderr, "clinora: the bus worker starts over after an error: %s\n", what);
    next_ = kStateIdleReset;
    changed_ = true;
    state_.locked([](SharedData& d) { d.worker.state = kStateIdleReset; });
    protocol_.pause(500);
}

void Worker::passOnce() {
    struct Intake {
        bool stop, pending;
        uint32_t code;
    };
    const Intake in = state_.locked([](const SharedData& d) {
        return Intake{d.worker.stop, d.worker.requestPending, d.worker.requestCode};
    });
    bool reset = false;
    if (in.stop) {
        // A pending request stays pending.
        state_.locked([](SharedData& d) { d.worker.state = kStateEnd; });
    } else if (in.pending) {
        retry_ = 0;
        sub_ = 0;
        countDown_ = 0;
        attempts_ = 0;
        reset = takeRequest(in.code);
        state_.locked([](SharedData& d) { d.worker.requestPending = false; });
    }
    const int current = state_.locked([](const SharedData& d) { return d.worker.state; });
    stepped_ = current;
    runState(current);
    if (ended_) return;
    // After a reset the current state has had its one more pass; whatever it
    // chose, the worker goes back to monitoring through state 0.
    if (reset) next_ = kStateIdleReset;
    changed_ = next_ != current;
    state_.locked([&](SharedData& d) { d.worker.state = next_; });
}

bool Worker::takeRequest(uint32_t code) {
    int entry = -1;
    switch (code) {
        case kConnectRequest:
            entry = kStateOpen;
            changed_ = true;
            break;
        case kTriggerOffLoopRequest:
            entry = kStateTriggerOffLoop;
            break;
        case kWriteCalibrationRequest:
            entry = kStateWriteProbe;
            protocol_.beginTransfer();
            post(kEventBoardWritten, kEventBoardWritten);
            if (targetsBroadcast()) return refuse(kEventUploadFailed, kEventUploadFailed);
            break;
        case kBiaxialWriteRequest:
            entry = kStateBiaxialProbe;
            protocol_.beginTransfer();
            post(kEventBiaxialWrite, kEventBiaxialWrite);
            break;
        case kStopRequest:
            entry = kStateIdleReset;
            changed_ = true;
            break;
        case kAddressChangeRequest:
            entry = kStateAddressChangeProbe;
            if (state_.locked([](const SharedData& d) {
                    return d.request.targetAddress == kBroadcastAddress ||
                           d.request.newAddress == kBroadcastAddress;
                })) {
                return refuse(kEventAddressChangeGaveUp, 0);
            }
            break;
        case kDeviceInfoRequest:
            entry = kStateDeviceInfo;
            break;
        case kInitRequest:
            entry = kStateBoardInit;
            setBoardIndex(0);
            break;
        case kResetAddressesRequest:
            protocol_.ResetAllAddresses();
            post(kEventAddressesReset, lastDetail_);
            next_ = kStateIdleReset;
            return true;
        case kReadSensorSettingsRequest:
            entry = kStateSensorReadProbe;
            break;
        case kWriteSensorSettingsRequest:
            entry = kStateSensorWriteProbe;
            break;
        case kTriggerOffRequest:
            entry = kStateStopTrigger;
            break;
        case kModeZeroRequest:
            entry = kStateModeZero;
            break;
        case kVerifyCalibrationRequest:
            entry = kStateVerifyProbe;
            post(kEventBoardVerified, kEventBoardVerified);
            if (targetsBroadcast()) return refuse(kEventVerifyFailed, kEventVerifyFailed);
            break;
        case kReadAxisFlagsRequest:
            entry = kStateFlagsReadProbe;
            break;
        case kWriteAxisFlagsRequest:
            entry = kStateFlagsWriteProbe;
            break;
        default:
            return false;  // taken and ignored
    }
    next_ = entry;
    state_.locked([&](SharedData& d) { d.worker.state = entry; });
    return false;
}

// The boards a write or verify request walks: all of the set, or the one.
bool Worker::targetsBroadcast() const {
    return state_.locked([](const SharedData& d) {
        const int boards = std::min<int>(d.worker.boardCount, d.currentAddresses.size());
        const int target = d.worker.writeTarget;
        for (int i = 0; i < boards; ++i) {
            if ((target == d.worker.boardCount || target == i) &&
                d.currentAddresses[i] == kBroadcastAddress)
                return true;
        }
        return false;
    });
}

// A request that must not reach the bus: its final failure event, then idle.
bool Worker::refuse(int event, int detail) {
    post(event, detail);
    next_ = kStateIdleReset;
    state_.locked([](SharedData& d) { d.worker.state = kStateIdleReset; });
    return false;
}

// --- steps -----------------------------------------------------------------

// The count-down of the step pattern: while it runs, a pass waits `pauseMs`
// and the step reports not done. It also goes below zero, meaning no wait.
bool Worker::countingDown(int pauseMs) {
    if (countDown_ >= 1) {
        --countDown_;
        protocol_.pause(pauseMs);
        return true;
    }
    --countDown_;
    return false;
}

bool Worker::step(const StepPlan& plan) {
    if (countingDown(plan.pauseMs)) return false;
    if (plan.operation()) {
        retry_ = 0;
        setLinkOk(true);
        if (plan.clearCountDown) countDown_ = 0;
        if (plan.successEvent >= 0) post(plan.successEvent, boardIndex());
        return true;
    }
    if (retry_ < 4) {
        ++retry_;
        countDown_ = 10;
    } else {
        countDown_ = 5;
        if (plan.failureEvent >= 0) post(plan.failureEvent, boardIndex());
    }
    return false;
}

bool Worker::openStep() {
    if (changed_) {
        setLinkOk(false);
        return false;
    }
    const auto [found, baud] = state_.locked([](const SharedData& d) {
        return std::make_pair(d.worker.usbPortFound, d.worker.baudRate);
    });
    if (!found) {
        postPortStatus(kPortNotSelected);
        return false;
    }
    if (countingDown(100)) return false;
    if (protocol_.OpenPort(baud)) {
        retry_ = 0;
        setLinkOk(true);
        postPortStatus(kPortOpened);
        protocol_.pause(500);
        return true;
    }
    postPortStatus(kPortOpenFailed);
    countDown_ = 10;
    return false;
}

bool Worker::probeStep() {
    state_.locked([](SharedData& d) { d.readings.showNoReading(); });
    if (changed_) {
        postPortStatus(kPortBoardNotFound);
        return false;
    }
    if (countingDown(100)) return false;
    const std::string target =
        state_.locked([](const SharedData& d) { return d.request.targetAddress; });
    if (protocol_.ProbeDevice(target, kExchangeAttempts)) {
        state_.locked([](SharedData& d) {
            if (d.readings.unitsLabel != "mm" && d.settings.monitorUnitsUser == 1) {
                d.readings.unitsLabel = "Deg";
            }
            d.worker.linkOk = true;
        });
        countDown_ = 5;
        return true;
    }
    countDown_ = 5;
    postPortStatus(kPortBoardNotFound);
    return false;
}

bool Worker::triggerStep() {
    const int index = boardIndex();
    if (protocol_.TriggerBoard()) {
        post(kEventBoardTriggered, index);
        retry_ = 0;
        setLinkOk(true);
        return true;
    }
    if (retry_ < 4) {
        ++retry_;
    } else {
        post(kEventTriggerFailed, index);
    }
    return false;
}

// A board that does not answer the probe before a request's work ends it.
void Worker::probeFailureRule() {
    if (retry_ < 3) {
        ++retry_;
        protocol_.pause(50);
    } else {
        post(kEventNoBoard, kEventNoBoard);
        next_ = kStateIdleReset;
    }
}

// --- events ----------------------------------------------------------------

void Worker::deliver(bool toPage, bool toHost, int message, int first, int second) {
    std::shared_ptr<EventSink> page, host;
    state_.locked([&](const SharedData& d) {
        if (toPage) page = d.worker.currentPage.lock();
        if (toHost) host = d.worker.pageHost.lock();
    });
    // Posted outside the lock: a sink may read the shared state.
    if (page) page->post(message, first, second);
    if (host) host->post(message, first, second);
    protocol_.pause(50);
}

void Worker::post(int code, int detail) {
    lastDetail_ = detail;
    deliver(true, false, kWorkerEventMessage, code, detail);
}

void Worker::postToPageAndHost(int code, int detail) {
    lastDetail_ = detail;
    deliver(true, true, kWorkerEventMessage, code, detail);
}

void Worker::postToHost(int code, int detail) {
    lastDetail_ = detail;
    deliver(false, true, kWorkerEventMessage, code, detail);
}

void Worker::postPortStatus(int status) {
    deliver(true, false, kPortStatusMessage, kPortStatusFirst, status);
}

// --- shared members --------------------------------------------------------

int Worker::boardIndex() const {
    return state_.locked([](const SharedData& d) { return d.worker.currentBoardIndex; });
}

void Worker::setBoardIndex(int index) {
    state_.locked([&](SharedData& d) { d.worker.currentBoardIndex = index; });
}

int Worker::boardCount() const {
    return state_.locked([](const SharedData& d) { return d.worker.boardCount; });
}

int Worker::writeTarget() const {
    return state_.locked([](const SharedData& d) { return d.worker.writeTarget; });
}

// The board's address text of the current address list as a number; 0 for an
// index outside the list.
int Worker::addressNumber(int index) const {
    return state_.locked([&](const SharedData& d) {
        if (index < 0 || index >= static_cast<int>(d.currentAddresses.size())) return 0;
        return std::atoi(d.currentAddresses[index].c_str());
    });
}

void Worker::setLinkOk(bool ok) {
    state_.locked([&](SharedData& d) { d.worker.linkOk = ok; });
}

bool Worker::continuousRead() const {
    return state_.locked([](const SharedData& d) { return d.settings.continuousReadOn; });
}

// Boards need time to settle after a trigger; the more boards were triggered,
// the longer ago the first one was.
int Worker::settlePauseMs(int boards) const {
    if (boards <= 1) return 2500;
    if (boards <= 3) return 2000;
    if (boards == 4) return 1500;
    if (boards == 5) return 1000;
    return 500;
}

}  // namespace clinora
