#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace clinora {

// One moment of the Monitor page's trend: tilt A, tilt B and temperature as
// the page showed them; NaN where the page showed no number.
struct TrendSample {
    int64_t ms = 0;  // monotonic time of the reading
    double a = 0, b = 0, temperature = 0;
};

// The readings of the last hour for the Monitor page's trend plot, in the
// unit the page shows. A reading in another unit starts the trend afresh, so
// one plot never mixes units. Paused, the trend still records, but what it
// shows stays at the moment of the pause.
class TrendBuffer {
public:
    static constexpr int64_t kKeepMs = 60 * 60 * 1000;
    // Most points one window hands out; longer windows are averaged in buckets.
    static constexpr int kMaxPoints = 600;

    // Takes the page's texts of one reading; false when none holds a number.
    bool add(int64_t ms, const std::string& a, const std::string& b, const std::string& temperature,
             const std::string& unit);
    void clear();
    void setPaused(bool paused, int64_t nowMs);
    bool paused() const { return paused_; }

    // The end of what is shown: now, or the moment of the pause.
    int64_t shownEnd(int64_t nowMs) const { return paused_ ? pausedAt_ : nowMs; }
    // The samples of the `spanMs` before shownEnd, oldest first, at most
    // kMaxPoints of them (bucket means when there are more).
    std::vector<TrendSample> window(int64_t nowMs, int64_t spanMs) const;

    const std::string& unit() const { return unit_; }
    size_t size() const { return samples_.size(); }

private:
    std::deque<TrendSample> samples_;
    std::string unit_;
    bool paused_ = false;
    int64_t pausedAt_ = 0;
};

}  // namespace clinora
