// The worker's state table: one step of each state and where it goes next.
#include <tuple>

#include "worker.h"
#include "worker_codes.h"

namespace clinora {

void Worker::runState(int state) {
    switch (state) {
        case 0:
            stateIdleReset();
            break;
        case 1:
            stateOpen();
            break;
        case 4:
            stateDeviceInfo();
            break;
        case 6:
            stateAddressQuery();
            break;
        case 12:
            if (state_.port().isOpen()) state_.port().Close();
            ended_ = true;
            break;
        case 13:
            stateHeartbeat();
            break;
        case 15:
            if (step({100, [this] {
                          if (!protocol_.ChangeAddress()) return false;
                          state_.locked([](SharedData& d) {
                              d.request.targetAddress = d.request.newAddress;
                          });
                          return true;
                      }})) {
                next_ = 16;
            }
            break;
        case 16:
            if (step({100, [this] { return protocol_.WriteTypeCode(); }})) {
                post(kEventAddressChanged, 0);
                next_ = 13;
            }
            break;
        case 20:
            if (probeStep()) {
                retry_ = 0;
                next_ = 15;
            } else if (retry_ > 3) {
                post(kEventAddressChangeGaveUp, 0);
                next_ = 0;
            } else {
                ++retry_;
            }
            break;
        case 21:
            // Stays here, stopping the trigger, until another request.
            if (!protocol_.StopTrigger() && !state_.port().isOpen()) clock_.sleepMs(50);
            break;
        case 22:
            stateUnitsAndTrigger();
            break;
        case 23:
            stateBoardInit();
            break;
        case 24:
            stateProbeThen(kEventWriteProbe, 32, true);
            break;
        case 25:
            stateProbeThen(-1, 33, false);
            break;
        case 26:
            stateProbeThen(-1, 34, true);
            break;
        case 27:
            stateProbeThen(kEventVerifyProbe, 39, true);
            break;
        case 28:
            stateSingleReading();
            break;
        case 30:
            stateTrigger();
            break;
        case 31:
            stateBoardReading();
            break;
        case 32:
            stateUpload();
            break;
        case 33:
            stateReadBytes(false);
            break;
        case 34:
            stateWriteBytes(false);
            break;
        case 37:
            stateStopTrigger();
            break;
        case 38:
            protocol_.SetModeZero();
            next_ = 13;
            break;
        case 39:
            stateVerify();
            break;
        case 42:
            stateProbeThen(-1, 44, false);
            break;
        case 43:
            stateProbeThen(-1, 45, true);
            break;
        case 44:
            stateReadBytes(true);
            break;
        case 45:
            stateWriteBytes(true);
            break;
        case 47:
            stateBiaxialUpload();
            break;
        case 48:
            stateBiaxialProbe();
            break;
        default:
            next_ = 0;
            break;
    }
}

void Worker::stateIdleReset() {
    retry_ = 0;
    sub_ = 10;
    countDown_ = 0;
    postPortStatus(kPortIdle);
    setLinkOk(false);
    clock_.sleepMs(500);
    next_ = 22;
}

void Worker::stateOpen() {
    const bool done = openStep();
    if (done) next_ = 6;
    postToPageAndHost(kEventPortOpen, done ? 1 : 0);
    clock_.sleepMs(500);
}

void Worker::stateDeviceInfo() {
    if (step({100, [this] { return protocol_.ReadDeviceInfo(); }})) {
        next_ = 13;
        post(kEventDeviceInfo, 1);
        return;
    }
    post(kEventDeviceInfo, 0);
    if (retry_ > 2) {
        next_ = 0;
    } else {
        clock_.sleepMs(300);
    }
}

// Finds the board and proves the baud rate; silence means the other rate.
void Worker::stateAddressQuery() {
    const bool done = step({100, [this] { return protocol_.QueryAddress(); }});
    if (done) {
        clock_.sleepMs(500);
        next_ = 0;
    } else {
        state_.locked(
            [](SharedData& d) { d.worker.baudRate = d.worker.baudRate == 9600 ? 115200 : 9600; });
        next_ = 1;
    }
    post(kEventAddressQuery, done ? 1 : 0);
    clock_.sleepMs(500);
}

void Worker::stateHeartbeat() {
    post(kEventHeartbeat, 13);
    if (sub_ <= 5) {
        ++sub_;
        clock_.sleepMs(500);
    } else {
        sub_ = 0;
        if (!state_.port().isOpen()) next_ = 1;
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
        clock_.sleepMs(500);
        good = protocol_.SetTriggerMode(continuous);
    }
    if (good) {
        next_ = 28;
        clock_.sleepMs(500);
    }
    postToHost(kEventUnitsAndTrigger, good ? 1 : 0);
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
    post(kEventBoardInitialised, index);
    ++index;
    if (index > boardCount() - 1) {
        index = 0;
        retry_ = 0;
        next_ = continuousRead() ? 31 : 30;
    }
    setBoardIndex(index);
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
        clock_.sleepMs(500);
    }
    post(kEventSingleReading, done ? 1 : 0);
    if (retry_ > 2) next_ = 1;
}

void Worker::stateTrigger() {
    if (triggerStep()) {
        int index = boardIndex() + 1;
        const int boards = boardCount();
        if (index > boards - 1) {
            index = 0;
            clock_.sleepMs(settlePauseMs(boards));
            next_ = 31;
        }
        setBoardIndex(index);
    } else if (retry_ <= 3) {
        clock_.sleepMs(50);
    } else {
        next_ = 23;
    }
}

void Worker::stateBoardReading() {
    const bool done = step({50, [this] { return protocol_.ReadBoardReading(); }, kEventBoardRead,
                            kEventBoardReadFailed});
    if (!done) return;
    clock_.sleepMs(50);
    int index = boardIndex() + 1;
    if (index > boardCount() - 1) {
        index = 0;
        if (!continuousRead()) next_ = 30;
    }
    setBoardIndex(index);
    if (retry_ <= 3) {
        clock_.sleepMs(50);
    } else {
        next_ = 23;
    }
}

// The walk shared by upload and verify: every board in turn when the write
// target is the board count, else the one target board. Returns true when
// the step did not succeed, for the caller's retry rule.
bool Worker::walkTargetBoards(const std::function<bool(int)>& operation, int boardEvent,
                              int doneEvent) {
    const int boards = boardCount();
    const int target = writeTarget();
    if (target == boards) {
        const int index = boardIndex();
        if (index > boards - 1) {
            post(doneEvent, addressNumber(index - 1));
            next_ = 13;
            return false;
        }
        if (!step({50, [&] { return operation(index); }, -1, -1, true})) return true;
        retry_ = 0;
        setBoardIndex(index + 1);
        post(boardEvent, addressNumber(index));
        return false;
    }
    setBoardIndex(target);
    if (!step({50, [&] { return operation(target); }, -1, -1, true})) return true;
    retry_ = 0;
    post(doneEvent, addressNumber(target));
    next_ = 13;
    return false;
}

// Upload one axis to every board (write target = board count) or to one.
void Worker::stateUpload() {
    const auto upload = [this](int i) { return protocol_.UploadCalibration(i); };
    if (walkTargetBoards(upload, kEventBoardWritten, kEventUploadsDone)) uploadNotDone();
}

void Worker::uploadNotDone() {
    if (retry_ > 3) {
        post(kEventUploadFailed, 102);
        clock_.sleepMs(100);
        next_ = 0;
    } else if (retry_ >= 1) {
        post(kEventUploadFailed, retry_);
        clock_.sleepMs(300);
    }
}

void Worker::stateVerify() {
    const bool all = writeTarget() == boardCount();
    const auto verify = [this](int i) { return protocol_.VerifyCalibration(i); };
    if (!walkTargetBoards(verify, kEventBoardVerified, kEventVerifiesDone)) return;
    // One board gives up after three failures, a whole set after four.
    const bool giveUp = all ? retry_ > 3 : retry_ >= 3;
    if (giveUp) {
        post(kEventVerifyFailed, 108);
        clock_.sleepMs(100);
        next_ = 0;
    } else if (retry_ > 0) {
        post(kEventVerifyFailed, retry_);
        clock_.sleepMs(300);
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
    clock_.sleepMs(50);
    clock_.sleepMs(50);
    next_ = 13;
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
        next_ = 13;
    }
}

void Worker::stateStopTrigger() {
    if (protocol_.StopTrigger()) {
        clock_.sleepMs(50);
        if (retry_ == 0) next_ = 13;
    } else if (retry_ > 3) {
        next_ = 0;
    } else {
        clock_.sleepMs(50);
    }
}

// The biaxial write handles exactly one board: one of the current address list.
bool Worker::biaxialTargetValid() {
    const int target = writeTarget();
    const bool valid = state_.locked([&](const SharedData& d) {
        return target >= 0 && target < static_cast<int>(d.currentAddresses.size()) &&
               target < kMaxBoards;
    });
    if (!valid) {
        post(kEventUploadFailed, 102);
        next_ = 0;
    }
    return valid;
}

void Worker::stateBiaxialProbe() {
    if (!biaxialTargetValid()) return;
    post(kEventBiaxialProbe, 48);
    if (probeStep()) {
        retry_ = 0;
        setBoardIndex(0);
        next_ = 47;
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
        next_ = 13;
        return;
    }
    uploadNotDone();
}

}  // namespace clinora
