#pragma once

#include <functional>

namespace clinora {

// A local calendar date and time: what the files, the log and the boards calibration
// date are stamped with. The one source of "now" in local time.
struct LocalDateTime {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0, minute = 0, second = 0;
};

// Where the writers take "now" from; tests pass a fixed time.
using LocalTimeSource = std::function<LocalDateTime()>;

// The machine's local time now.
LocalDateTime SystemLocalTime();

}  // namespace clinora
