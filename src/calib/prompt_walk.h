#pragma once

#include <string>

#include "link/device_record.h"

namespace clinora::calib {

// The walk through the prompt rows of a calibration or a calibration test:
// the cursor runs from the last row (N-1) down to 0; the first sweep (cursor
// at least N/2) fills slots 0 upwards, the return sweep the same slots back
// down. With N = 22 rows 21..11 land in first-sweep slots 0..10 and rows
// 10..0 in return-sweep slots 10..0.
class PromptWalk {
public:
    // Starts at the last of `rows` rows. Fewer than 1 row leaves an empty walk.
    void start(int rows);
    void clear() { *this = PromptWalk{}; }

    int rows() const { return rows_; }
    int cursor() const { return cursor_; }
    int slot() const { return k_; }
    int positionsPerSweep() const { return rows_ / 2; }
    bool inFirstSweep() const { return cursor_ >= rows_ / 2; }
    bool atLastRow() const { return cursor_ == 0; }
    // Back is refused at the first row (N-1) and the last row (0).
    bool canGoBack() const { return rows_ > 0 && cursor_ != 0 && cursor_ != rows_ - 1; }

    // After the row at the cursor was accepted: moves the slot, then the
    // cursor unless it is at the last row. False when the last row was accepted.
    bool advance();
    // Prompts the previous row again and undoes the slot step of its Accept.
    // False (nothing changes) where Back is refused.
    bool back();

private:
    int rows_ = 0;
    int cursor_ = 0;
    int k_ = 0;
};

// Stores an accepted value of `axis` (0 = A, 1 = B) in the sweep's main slot
// k and sets its companion slot k to 0. Slots outside the record are ignored.
void StoreAccepted(DeviceRecord& record, int axis, bool firstSweep, int k, double value);
// Clears the first `positions` slots of every array of one axis, its
// coefficient block and its two cross-axis terms.
void ClearAxisRun(DeviceRecord& record, int axis, int positions);

// The range check at Accept: target - tolerance < value < target + tolerance.
bool WithinTolerance(double value, double target, double tolerance);
// The readout colour rule: low < value < high, both bounds excluded.
bool WithinLimits(double value, double low, double high);

}  // namespace clinora::calib
