#pragma once

#include <array>

namespace clinora::calib {

// The running average of one board's A and B readings: each reading is fed
// once, when it arrives, and the mean is that of the last W readings (W =
// "AverageNum", clamped to 1..kCapacity), or of all readings so far while
// there are fewer than W. It also keeps the last change of A that drives the
// noise bar.
class RunningAverage {
public:
    static constexpr int kCapacity = 60;

    // The window a stored or typed "AverageNum" gives: 1..kCapacity.
    static int Window(int averageNum);

    // Forgets every reading: means, latest values and last change are 0.
    void reset();
    // Takes one A and B reading. With `averaging` the last change of A is
    // (new A - the A reading W readings back, 0 when there is none) / W,
    // without it new A minus the A reading before it.
    void feed(double a, double b, int averageNum, bool averaging);

    double meanA() const { return meanA_; }
    double meanB() const { return meanB_; }
    // The reading fed last (0 before the first).
    double latestA() const { return latestA_; }
    double latestB() const { return latestB_; }
    double lastChangeA() const { return lastChangeA_; }
    // Readings fed since the last reset (up to kCapacity).
    int count() const { return count_; }

private:
    using Ring = std::array<double, kCapacity>;
    // The mean of the last `window` values of `ring` (fewer while fewer are held).
    double mean(const Ring& ring, int window) const;
    // The value `back` readings before the newest; 0 beyond those held.
    double earlier(const Ring& ring, int back) const;

    Ring a_{}, b_{};
    int next_ = 0;   // the slot the next reading goes to
    int count_ = 0;  // readings held, at most kCapacity
    double meanA_ = 0, meanB_ = 0;
    double latestA_ = 0, latestB_ = 0;
    double lastChangeA_ = 0;
};

}  // namespace clinora::calib
