#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/local_time.h"

namespace clinora::records {

// Record times are UTC in ISO 8601 with milliseconds, "2025-01-02T03:04:05.678Z":
// the texts sort in time order.
std::string UtcFromEpochMs(int64_t epochMs);
std::string UtcNow();
// Seconds since 1970 of a record time ("2025-01-02T03:04:05.678Z", the
// fraction optional); nothing when the text is not one.
std::optional<int64_t> EpochOfUtc(std::string_view text);

// A local date and time of this machine (a file header's) as a UTC record time.
std::string UtcFromLocal(const LocalDateTime& local);

// The bound of a --since/--until filter. A date "YYYY-MM-DD" is a local
// calendar day: --since takes its start, --until its end (exclusive bound at the
// start of the next day); a time "YYYY-MM-DDTHH:MM[:SS]Z" is taken as it is.
// Nothing when the text is neither.
std::optional<std::string> TimeBound(std::string_view text, bool until);

}  // namespace clinora::records
