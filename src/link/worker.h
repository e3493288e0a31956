#pragma once

#include <cstdint>
#include <functional>

#include "clock.h"
#include "protocol.h"
#include "shared_state.h"

namespace clinora {

// The communication worker's state machine. It owns the bus: each pass takes
// a pending request, runs one step of the current state and moves to the next
// state. Results go into SharedState before the event that announces them is
// posted. WorkerThread repeats pass() on a thread; tests call it directly.
class Worker {
public:
    Worker(SharedState& state, Clock& clock);
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // One pass of the main loop.
    void pass();
    // True once state 12 has closed the port; further passes do nothing.
    bool ended() const { return ended_; }

    // The worker context, for tests.
    int nextState() const { return next_; }
    int retryCount() const { return retry_; }
    int countDown() const { return countDown_; }
    int subCounter() const { return sub_; }
    bool changed() const { return changed_; }
    // The state whose step the last pass ran (a request may have chosen it).
    int steppedState() const { return stepped_; }

    // The protocol on the worker's bus (tests fix its local date).
    BusProtocol& protocol() { return protocol_; }

private:
    // Exchanges that change nothing when repeated (the probe, memory reads and
    // writes of the same bytes) are tried this often within one step, so that a
    // reply lost on a noisy line does not fail the whole step.
    static constexpr int kExchangeAttempts = 3;

    // What a step of the common pattern runs and reports.
    struct StepPlan {
        int pauseMs = 100;
        std::function<bool()> operation;
        int successEvent = -1;        // posted with the board index on success
        int failureEvent = -1;        // posted with the board index from the fifth failure on
        bool clearCountDown = false;  // count-down 0 on success (uploads, verify)
    };

    void passOnce();
    // After an exception in a pass: back to state 0 and on.
    void recover(const char* what);
    // Request intake; returns true for the reset addresses request.
    bool takeRequest(uint32_t code);
    bool targetsBroadcast() const;
    bool refuse(int event, int detail);
    void runState(int state);

    // Steps.
    bool countingDown(int pauseMs);
    bool step(const StepPlan& plan);
    bool openStep();
    bool probeStep();
    bool triggerStep();
    void probeFailureRule();
    // A step of the address change: tried kAddressChangeAttempts times with
    // the step pattern's pause between attempts, then given up.
    enum class Limited { Waiting, Done, GaveUp };
    Limited limitedStep(const std::function<bool()>& operation, int attemptEvent);

    // States with more than a line or two of logic.
    void stateIdleReset();
    void stateOpen();
    void stateDeviceInfo();
    void stateAddressQuery();
    void stateHeartbeat();
    void stateAddressChangeProbe();
    void stateNewAddressProbe();
    void stateChangeAddress();
    void stateWriteTypeCode();
    void stateUnitsAndTrigger();
    void stateBoardInit();
    void readBoardInfo(int index);
    void stateProbeThen(int event, int nextState, bool resetIndex);
    void stateSingleReading();
    void stateTrigger();
    void stateBoardReading();
    // What one pass of the walk over the target boards came to.
    enum class WalkStep { Progressed, Failed };
    WalkStep walkTargetBoards(const std::function<bool(int)>& operation, int boardEvent,
                              int doneEvent);
    void stateUpload();
    void stateVerify();
    void stateReadBytes(bool flags);
    void stateWriteBytes(bool flags);
    void stateStopTrigger();
    void stateBiaxialProbe();
    void stateBiaxialUpload();
    void uploadNotDone();
    bool biaxialTargetValid();

    // Events: message 1125 to the current page (and/or the page host), then 50 ms.
    void post(int code, int detail);
    void postToPageAndHost(int code, int detail);
    void postToHost(int code, int detail);
    void postPortStatus(int status);
    void deliver(bool toPage, bool toHost, int message, int first, int second);

    // Shared members used by the states.
    int boardIndex() const;
    void setBoardIndex(int index);
    int boardCount() const;
    int writeTarget() const;
    int addressNumber(int index) const;
    void setLinkOk(bool ok);
    bool continuousRead() const;
    int settlePauseMs(int boards) const;

    SharedState& state_;
    Clock& clock_;
    BusProtocol protocol_;

    // Worker context.
    int next_ = 1;
    int retry_ = 0;
    int sub_ = 0;
    bool changed_ = true;
    int countDown_ = 0;
    int attempts_ = 0;  // attempts of the address change step running

    int stepped_ = 1;
    int lastDetail_ = 0;  // detail of the last event posted
    bool ended_ = false;
};

}  // namespace clinora
