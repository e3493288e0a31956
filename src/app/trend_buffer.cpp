#include "app/trend_buffer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/number_text.h"

namespace clinora {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

double ValueOf(const std::string& text) {
    double value = 0.0;
    return TryParseLeadingDouble(text, value) && std::isfinite(value) ? value : kNoValue;
}

// Means of the finite values of each field.
class Bucket {
public:
    void add(const TrendSample& s) {
        ++count_;
        ms_ += s.ms;
        field(0, s.a);
        field(1, s.b);
        field(2, s.temperature);
    }
    bool empty() const { return count_ == 0; }
    TrendSample mean() const {
        const auto of = [this](int i) { return n_[i] ? sum_[i] / n_[i] : kNoValue; };
        return {ms_ / count_, of(0), of(1), of(2)};
    }

private:
    void field(int i, double v) {
        if (!std::isfinite(v)) return;
        sum_[i] += v;
        ++n_[i];
    }
    int64_t count_ = 0, ms_ = 0;
    double sum_[3] = {};
    int n_[3] = {};
};

}  // namespace

bool TrendBuffer::add(int64_t ms, const std::string& a, const std::string& b,
                      const std::string& temperature, const std::string& unit) {
    const TrendSample sample{ms, ValueOf(a), ValueOf(b), ValueOf(temperature)};
    if (std::isnan(sample.a) && std::isnan(sample.b) && std::isnan(sample.temperature))
        return false;
    if (unit != unit_) {
        samples_.clear();
        unit_ = unit;
    }
    // A clock that went back would break the order the window relies on.
    if (!samples_.empty() && ms < samples_.back().ms) samples_.clear();
    samples_.push_back(sample);
    while (!samples_.empty() && samples_.front().ms < ms - kKeepMs) samples_.pop_front();
    return true;
}

void TrendBuffer::clear() { samples_.clear(); }

void TrendBuffer::setPaused(bool paused, int64_t nowMs) {
    if (paused && !paused_) pausedAt_ = nowMs;
    paused_ = paused;
}

std::vector<TrendSample> TrendBuffer::window(int64_t nowMs, int64_t spanMs) const {
    const int64_t end = shownEnd(nowMs);
    const int64_t begin = end - std::max<int64_t>(spanMs, 1);
    const auto first = std::lower_bound(samples_.begin(), samples_.end(), begin,
                                        [](const TrendSample& s, int64_t t) { return s.ms < t; });
    const auto last = std::upper_bound(first, samples_.end(), end,
                                       [](int64_t t, const TrendSample& s) { return t < s.ms; });
    if (last - first <= kMaxPoints) return {first, last};

    std::vector<TrendSample> out;
    out.reserve(kMaxPoints);
    const int64_t span = end - begin;
    Bucket bucket;
    int64_t index = 0;
    for (auto it = first; it != last; ++it) {
        const int64_t b = std::min<int64_t>((it->ms - begin) * kMaxPoints / span, kMaxPoints - 1);
        if (b != index && !bucket.empty()) {
            out.push_back(bucket.mean());
            bucket = Bucket{};
        }
        index = b;
        bucket.add(*it);
    }
    if (!bucket.empty()) out.push_back(bucket.mean());
    return out;
}

}  // namespace clinora
