#pragma once

#include <array>

namespace clinora::calib {

// The running average of one board's A and B readings over the last W values
// (W = "AverageNum", clamped to 1..kCapacity), and the last change of A that
// drives the noise bar.
class RunningAverage {
public:
    static constexpr int kCapacity = 60;

    // The window a stored or typed "AverageNum" gives: 1..kCapacity.
    static int Window(int averageNum);

    // Empties both rings: fill indexes, means and values 0.
    void reset();
    // Takes one A and B reading. With `averaging` the last change of A is
    // (new A - the value about to be overwritten) / W, without it new A minus
    // the previous A value.
    void feed(double a, double b, int averageNum, bool averaging);

    double meanA() const { return meanA_; }
    double meanB() const { return meanB_; }
    double lastChangeA() const { return lastChangeA_; }
    // The value shown for A after the tick (the mean with averaging).
    void setPreviousA(double a) { previousA_ = a; }

private:
    using Ring = std::array<double, kCapacity>;
    static double Store(Ring& ring, int& fill, double value, int window);

    Ring a_{}, b_{};
    int fillA_ = 0, fillB_ = 0;
    double meanA_ = 0, meanB_ = 0;
    double previousA_ = 0, lastChangeA_ = 0;
};

}  // namespace clinora::calib
