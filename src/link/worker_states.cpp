// The worker's state table: one step of each state and where it goes next.
#include <tuple>

#include "worker.h"
#include "worker_codes.h"

namespace clinora {

void Worker::runState(int state) {
    switch (state) {
        case kStateIdleReset:
            stateIdleReset();
            break;
        case kStateOpen:
            stateOpen();
            break;
        case kStateDeviceInfo:
            stateDeviceInfo();
            break;
        case kStateAddressQuery:
            stateAddressQuery();
            break;
        case kStateEnd:
            if (state_.port().isOpen()) state_.port().Close();
            ended_ = true;
            break;
        case kStateHeartbeat:
            stateHeartbeat();
            break;
        case kStateChangeAddress:
            stateChangeAddress();
            break;
        case kStateWriteTypeCode:
            stateWriteTypeCode();
            break;
        case kStateNewAddressProbe:
            stateNewAddressProbe();
            break;
        case kStateAddressChangeProbe:
            stateAddressChangeProbe();
            break;
        case kStateTriggerOffLoop:
            // Stays here, stopping the trigger, until another request.
            if (!protocol_.StopTrigger() && !state_.port().isOpen()) protocol_.pause(50);
            break;
        case kStateUnitsAndTrigger:
            stateUnitsAndTrigger();
            break;
        case kStateBoardInit:
            stateBoardInit();
            break;
        case kStateWriteProbe:
            stateProbeThen(kEventWriteProbe, kStateUpload, true);
            break;
        case kStateSensorReadProbe:
            stateProbeThen(-1, kStateReadSensorSettings, false);
            break;
        case kStateSensorWriteProbe:
            stateProbeThen(-1, kStateWriteSensorSettings, true);
            break;
        case kStateVerifyProbe:
            stateProbeThen(kEventVerifyProbe, kStateVerify, true);
            break;
        case kStateSingleReading:
            stateSingleReading();
            break;
        case kStateTrigger:
            stateTrigger();
            break;
        case kStateBoardReading:
            stateBoardReading();
            break;
        case kStateUpload:
            stateUpload();
            break;
        case kStateReadSensorSettings:
            stateReadBytes(false);
            break;
        case kStateWriteSensorSettings:
            stateWriteBytes(false);
            break;
        case kStateStopTrigger:
            stateStopTrigger();
            break;
        case kStateModeZero:
            protocol_.SetModeZero();
            next_ = kStateHeartbeat;
            break;
        case kStateVerify:
            stateVerify();
            break;
        case kStateFlagsReadProbe:
            stateProbeThen(-1, kStateReadAxisFlags, false);
            break;
        case kStateFlagsWriteProbe:
            stateProbeThen(-1, kStateWriteAxisFlags, true);
            break;
        case kStateReadAxisFlags:
            stateReadBytes(true);
            break;
        case kStateWriteAxisFlags:
            stateWriteBytes(true);
            break;
        case kStateBiaxialUpload:
            stateBiaxialUpload();
            break;
        case kStateBiaxialProbe:
            stateBiaxialProbe();
            break;
        default:
            next_ = kStateIdleReset;
            break;
    }
}

void Worker::stateIdleReset() {
    retry_ = 0;
    sub_ = 10;
    countDown_ = 0;
    postPortStatus(kPortIdle);
    setLinkOk(false);
    protocol_.pause(500);
    next_ = kStateUnitsAndTrigger;
}

void Worker::stateOpen() {
    const bool done = openStep();
    if (done) next_ = kStateAddressQuery;
    postToPageAndHost(kEventPortOpen, done ? 1 : 0);
    protocol_.pause(500);
}

void Worker::stateDeviceInfo() {
    if (step({100, [this] { return protocol_.ReadDeviceInfo(); }})) {
        next_ = kStateHeartbeat;
        post(kEventDeviceInfo, 1);
        return;
    }
    post(kEventDeviceInfo, 0);
    if (retry_ > 2) {
        next_ = kStateIdleReset;
    } else {
        protocol_.pause(300);
    }
}

// Finds the board and proves the baud rate; silence means the other rate.
void Worker::stateAddressQuery() {
    const bool done = step({100, [this] { return protocol_.QueryAddress(); }});
    if (done) {
        protocol_.pause(500);
        next_ = kStateIdleReset;
    } else {
        state_.locked(
            [](SharedData& d) { d.worker.baudRate = d.worker.baudRate == 9600 ? 115200 : 9600; });
        next_ = kStateOpen;
    }
    post(kEventAddressQuery, done ? 1 : 0);
    protocol_.pause(500);
}

void Worker::stateHeartbeat() {
    post(kEventHeartbeat, kEventHeartbeat);
    if (sub_ <= 5) {
        ++sub_;
        protocol_.pause(500);
    } else {
        sub_ = 0;
        if (!state_.port().isOpen()) next_ = kStateOpen;
    }
}

void Worker::stateUnitsAndTrigger() {
    const auto [baud, units, continuous] = state_.locked([](const SharedData& d) {
        return std::make_tuple(d.worker.baudRate, d.settings.monitorUnits,
                               d.settings.continuousReadOn);
    });
    bool good = false;
    if (baud == 115200) {
        good = protocol_.SetReadingUnits(units);
    } else if (baud == 9600) {
        good = true;  // the boards take no units command at this rate
    }
    if (good) {
        protocol_.pause(500);
        good = protocol_.SetTriggerMode(continuous);
    }
    if (good) {
        retry_ = 0;
        next_ = kStateSingleReading;
        protocol_.pause(500);
    }
    postToHost(kEventUnitsAndTrigger, good ? 1 : 0);
    if (good) return;
    // Boards fallen silent: the page says so, and after three tries the
    // worker opens the port again (and looks for the boards at both rates).
    postPortStatus(kPortBoardNotFound);
    if (++retry_ >= 3) next_ = kStateOpen;
}

void Worker::stateBoardInit() {
    if (!probeStep()) return;
    retry_ = 0;
    int index = boardIndex();
    const auto [units, continuous] = state_.locked([&](SharedData& d) {
        if (index >= 0 && index < static_cast<int>(d.request.boardList.size())) {
            d.request.targetAddress = d.request.boardList[index];
        }
        return std::make_pair(d.settings.monitorUnits, d.settings.continuousReadOn);
    });
    protocol_.SetReadingUnits(units);
    protocol_.SetTriggerMode(continuous);
    readBoardInfo(index);
    post(kEventBoardInitialised, index);
    ++index;
    if (index > boardCount() - 1) {
        index = 0;
        retry_ = 0;
        next_ = continuousRead() ? kStateBoardReading : kStateTrigger;
    }
    setBoardIndex(index);
}

// The identity of the board just initialised, for the records of its
// calibration: left in its slot before the event that announces the board,
// empty where it did not answer.
void Worker::readBoardInfo(int index) {
    const std::string address = state_.locked([&](const SharedData& d) {
        return index >= 0 && index < static_cast<int>(d.request.boardList.size())
                   ? d.request.boardList[index]
                   : std::string();
    });
    if (address.empty() || index >= kMaxBoards) return;
    BoardInfo info;
    protocol_.ReadBoardInfo(address, info, true);
    state_.locked([&](SharedData& d) { d.readings.boardInfo[index] = info; });
}

// The probe before a request's work: states 24, 25, 26, 27, 42 and 43.
void Worker::stateProbeThen(int event, int nextState, bool resetIndex) {
    if (event >= 0) post(event, event);
    if (probeStep()) {
        retry_ = 0;
        if (resetIndex) setBoardIndex(0);
        next_ = nextState;
    } else {
        probeFailureRule();
    }
}

void Worker::stateSingleReading() {
    const bool done = step({100, [this] { return protocol_.ReadSingleReading(); }});
    if (done) {
        retry_ = 0;
        protocol_.pause(500);
    }
    post(kEventSingleReading, done ? 1 : 0);
    if (retry_ > 2) next_ = kStateOpen;
}

void Worker::stateTrigger() {
    if (triggerStep()) {
        int index = boardIndex() + 1;
        const int boards = boardCount();
        if (index > boards - 1) {
            index = 0;
            protocol_.pause(settlePauseMs(boards));
            next_ = kStateBoardReading;
        }
        setBoardIndex(index);
    } else if (retry_ <= 3) {
        protocol_.pause(50);
    } else {
        next_ = kStateBoardInit;
    }
}

void Worker::stateBoardReading() {
    const bool done = step({50, [this] { return protocol_.ReadBoardReading(); }, kEventBoardRead,
                            kEventBoardReadFailed});
    if (!done) return;
    // (A reading done resets the retry count: the wait below always follows.)
    protocol_.pause(50);
    int index = boardIndex() + 1;
    if (index > boardCount() - 1) {
        index = 0;
        if (!continuousRead()) next_ = kStateTrigger;
    }
    setBoardIndex(index);
    protocol_.pause(50);
}

// The walk shared by upload and verify: every board in turn when the write
// target is the board count, else the one target board. Failed when this
// pass's step did not succeed, for the caller's retry rule.
Worker::WalkStep Worker::walkTargetBoards(const std::function<bool(int)>& operation, int boardEvent,
                                          int doneEvent) {
    const int boards = boardCount();
    const int target = writeTarget();
    if (target == boards) {
        const int index = boardIndex();
        if (index > boards - 1) {
            post(doneEvent, addressNumber(index - 1));
            next_ = kStateHeartbeat;
            return WalkStep::Progressed;
        }
        if (!step({50, [&] { return operation(index); }, -1, -1, true})) return WalkStep::Failed;
        retry_ = 0;
        setBoardIndex(index + 1);
        post(boardEvent, addressNumber(index));
        return WalkStep::Progressed;
    }
    setBoardIndex(target);
    if (!step({50, [&] { return operation(target); }, -1, -1, true})) return WalkStep::Failed;
    retry_ = 0;
    post(doneEvent, addressNumber(target));
    next_ = kStateHeartbeat;
    return WalkStep::Progressed;
}

// Upload one axis to every board (write target = board count) or to one.
void Worker::stateUpload() {
    const auto upload = [this](int i) { return protocol_.UploadCalibration(i); };
    if (walkTargetBoards(upload, kEventBoardWritten, kEventUploadsDone) == WalkStep::Failed) {
        uploadNotDone();
    }
}

void Worker::uploadNotDone() {
    if (retry_ > 3) {
        protocol_.reportUnsettledWrites();
        post(kEventUploadFailed, kEventUploadFailed);
        protocol_.pause(100);
        next_ = kStateIdleReset;
    } else if (retry_ >= 1) {
        post(kEventUploadFailed, retry_);
        protocol_.pause(300);
    }
}

void Worker::stateVerify() {
    const bool all = writeTarget() == boardCount();
    const auto verify = [this](int i) { return protocol_.VerifyCalibration(i); };
    if (walkTargetBoards(verify, kEventBoardVerified, kEventVerifiesDone) == WalkStep::Progressed) {
        return;
    }
    // One board gives up after three failures, a whole set after four.
    const bool giveUp = all ? retry_ > 3 : retry_ >= 3;
    if (giveUp) {
        post(kEventVerifyFailed, kEventVerifyFailed);
        protocol_.pause(100);
        next_ = kStateIdleReset;
    } else if (retry_ > 0) {
        post(kEventVerifyFailed, retry_);
        protocol_.pause(300);
    }
}

// States 33 (sensor settings) and 44 (axis flags).
void Worker::stateReadBytes(bool flags) {
    StepPlan plan{50, nullptr, kEventSettingsRead, kEventSettingsReadFailed};
    plan.operation = [this] { return protocol_.ReadSensorSettings(); };
    if (flags) {
        plan = {50, [this] { return protocol_.ReadAxisFlags(); }, kEventFlagsRead,
                kEventFlagsReadFailed};
    }
    if (!step(plan)) return;
    // Two pauses on purpose: the boards expect 100 ms after a read, in two steps.
    protocol_.pause(50);
    protocol_.pause(50);
    next_ = kStateHeartbeat;
}

// States 34 (sensor settings) and 45 (axis flags); failures retry until
// another request arrives.
void Worker::stateWriteBytes(bool flags) {
    const int index = boardIndex();
    const bool done = step({50, [this, index, flags] {
                                return flags ? protocol_.WriteAxisFlags(index)
                                             : protocol_.WriteSensorSettings(index);
                            }});
    if (!done) return;
    // Read back: a write to one board moves the index to the end of the set.
    const int reached = boardIndex() + 1;
    setBoardIndex(reached);
    if (reached > boardCount() - 1) {
        post(flags ? kEventFlagsWritten : kEventSettingsWritten, reached);
        next_ = kStateHeartbeat;
    }
}

// Tried four times; then the worker goes back to monitoring through state 0
// instead of asking a silent line every 50 ms for ever.
void Worker::stateStopTrigger() {
    if (protocol_.StopTrigger()) {
        protocol_.pause(50);
        next_ = kStateHeartbeat;
    } else if (retry_ > 3) {
        next_ = kStateIdleReset;
    } else {
        ++retry_;
        protocol_.pause(50);
    }
}

// The biaxial write handles exactly one board: one of the current address list.
bool Worker::biaxialTargetValid() {
    const int target = writeTarget();
    const bool valid = state_.locked([&](const SharedData& d) {
        return target >= 0 && target < static_cast<int>(d.currentAddresses.size()) &&
               target < kMaxBoards && d.currentAddresses[target] != kBroadcastAddress;
    });
    if (!valid) {
        post(kEventUploadFailed, kEventUploadFailed);
        next_ = kStateIdleReset;
    }
    return valid;
}

void Worker::stateBiaxialProbe() {
    if (!biaxialTargetValid()) return;
    post(kEventBiaxialProbe, kEventBiaxialProbe);
    if (probeStep()) {
        retry_ = 0;
        setBoardIndex(0);
        next_ = kStateBiaxialUpload;
    } else {
        probeFailureRule();
    }
}

void Worker::stateBiaxialUpload() {
    if (!biaxialTargetValid()) return;
    const int target = writeTarget();
    setBoardIndex(target);
    const bool done = step(
        {50, [this, target] { return protocol_.UploadCalibrationBiaxial(target); }, -1, -1, true});
    if (done) {
        retry_ = 0;
        post(kEventUploadsDone, addressNumber(target));
        next_ = kStateHeartbeat;
        return;
    }
    uploadNotDone();
}

}  // namespace clinora
