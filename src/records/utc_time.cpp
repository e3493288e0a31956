#include "records/utc_time.h"

#include <chrono>
#include <ctime>

#include "link/number_text.h"

namespace clinora::records {

namespace {

std::string Stamp(const std::tm& t, int milliseconds) {
    return FormatInt(t.tm_year + 1900, 4) + "-" + FormatInt(t.tm_mon + 1, 2) + "-" +
           FormatInt(t.tm_mday, 2) + "T" + FormatInt(t.tm_hour, 2) + ":" + FormatInt(t.tm_min, 2) +
           ":" + FormatInt(t.tm_sec, 2) + "." + FormatInt(milliseconds, 3) + "Z";
}

bool Digits(std::string_view text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::tm CalendarTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// Seconds since 1970 of a local calendar time, or nothing when it does not exist.
std::optional<int64_t> LocalEpoch(int year, int month, int day, int hour, int minute, int second) {
    std::tm t = CalendarTime(year, month, day, hour, minute, second);
    t.tm_isdst = -1;
    const std::time_t epoch = std::mktime(&t);
    if (epoch == static_cast<std::time_t>(-1) && !(year == 1969 && month == 12 && day == 31))
        return std::nullopt;
    return static_cast<int64_t>(epoch);
}

}  // namespace

std::string UtcFromEpochMs(int64_t epochMs) {
    int64_t seconds = epochMs / 1000;
    int64_t ms = epochMs % 1000;
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm t{};
    gmtime_r(&time, &t);
    return Stamp(t, static_cast<int>(ms));
}

std::string UtcNow() {
    using namespace std::chrono;
    return UtcFromEpochMs(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::optional<int64_t> EpochOfUtc(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || !Digits(text, 0, 4, year) || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) ||
        text[10] != 'T' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
        !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second) ||
        text.back() != 'Z' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    std::tm t = CalendarTime(year, month, day, hour, minute, second);
    return static_cast<int64_t>(timegm(&t));
}

std::string UtcFromLocal(const LocalDateTime& local) {
    const auto epoch =
        LocalEpoch(local.year, local.month, local.day, local.hour, local.minute, local.second);
    return UtcFromEpochMs(epoch.value_or(0) * 1000);
}

std::optional<std::string> TimeBound(std::string_view text, bool until) {
    int year = 0, month = 0, day = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) || month < 1 ||
        month > 12 || day < 1 || day > 31)
        return std::nullopt;
    if (text.size() == 10) {
        const auto start = LocalEpoch(year, month, day + (until ? 1 : 0), 0, 0, 0);
        if (!start) return std::nullopt;
        return UtcFromEpochMs(*start * 1000);
    }
    // "YYYY-MM-DDTHH:MM[:SS]Z", UTC.
    int hour = 0, minute = 0, second = 0;
    if (text[10] != 'T' || !Digits(text, 11, 2, hour) || text.size() < 17 || text[13] != ':' ||
        !Digits(text, 14, 2, minute) || hour > 23 || minute > 59)
        return std::nullopt;
    size_t end = 16;
    if (text.size() > 17 && text[16] == ':') {
        if (!Digits(text, 17, 2, second) || second > 60) return std::nullopt;
        end = 19;
    }
    if (text.size() != end + 1 || text[end] != 'Z') return std::nullopt;
    return std::string(text.substr(0, 10)) + "T" + FormatInt(hour, 2) + ":" + FormatInt(minute, 2) +
           ":" + FormatInt(second, 2) + ".000Z";
}

}  // namespace clinora::records
