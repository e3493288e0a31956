#include "calib/prompt_walk.h"

#include "calib/cal_fit_workspace.h"

namespace clinora::calib {

void PromptWalk::start(int rows) {
    rows_ = rows > 0 ? rows : 0;
    cursor_ = rows_ > 0 ? rows_ - 1 : 0;
    k_ = 0;
}

bool PromptWalk::advance() {
    const int half = rows_ / 2;
    if (cursor_ > half) {
        ++k_;
    } else if (cursor_ < half) {
        --k_;
    }
    if (cursor_ <= 0) return false;
    --cursor_;
    return true;
}

bool PromptWalk::back() {
    if (!canGoBack()) return false;
    ++cursor_;
    const int half = rows_ / 2;
    if (cursor_ > half) {
        if (k_ > 0) --k_;
    } else if (cursor_ < half) {
        ++k_;
    }
    return true;
}

namespace {

bool SlotInRecord(int k) { return k >= 0 && k < kMaxPositions; }

}  // namespace

void StoreAccepted(DeviceRecord& r, int axis, bool firstSweep, int k, double value) {
    if (!SlotInRecord(k)) return;
    const bool a = axis == kAxisA;
    PositionArray& main = a ? (firstSweep ? r.aFirstMain : r.aReturnMain)
                            : (firstSweep ? r.bFirstMain : r.bReturnMain);
    PositionArray& companion = a ? (firstSweep ? r.aFirstCompanion : r.aReturnCompanion)
                                 : (firstSweep ? r.bFirstCompanion : r.bReturnCompanion);
    main[k] = value;
    companion[k] = 0.0;
}

void ClearAxisRun(DeviceRecord& r, int axis, int positions) {
    const bool a = axis == kAxisA;
    for (PositionArray* slots :
         a ? std::array{&r.aFirstMain, &r.aFirstCompanion, &r.aReturnMain, &r.aReturnCompanion}
           : std::array{&r.bFirstMain, &r.bFirstCompanion, &r.bReturnMain, &r.bReturnCompanion}) {
        for (int i = 0; i < positions && i < kMaxPositions; ++i) (*slots)[i] = 0.0;
    }
    (a ? r.a : r.b).fill(0.0);
    (a ? r.aCrossLinear : r.bCrossLinear) = 0.0;
    (a ? r.aCrossQuadratic : r.bCrossQuadratic) = 0.0;
}

bool WithinTolerance(double value, double target, double tolerance) {
    return target - tolerance < value && value < target + tolerance;
}

bool WithinLimits(double value, double low, double high) { return low < value && value < high; }

}  // namespace clinora::calib
