#pragma once

#include <functional>

namespace clinora::calib {

// A local calendar date and time, as stamped into file names and files.
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

}  // namespace clinora::calib
