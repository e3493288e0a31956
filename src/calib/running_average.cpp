#include "calib/running_average.h"

#include <algorithm>

namespace clinora::calib {

int RunningAverage::Window(int averageNum) { return std::clamp(averageNum, 1, kCapacity); }

void RunningAverage::reset() { *this = RunningAverage{}; }

// Stores `value` at the fill index, advances it within the window and returns
// the mean of the window.
double RunningAverage::Store(Ring& ring, int& fill, double value, int window) {
    if (fill >= window) fill = 0;  // the window shrank since the last value
    ring[fill] = value;
    fill = (fill + 1) % window;
    double sum = 0;
    for (int i = 0; i < window; ++i) sum += ring[i];
    return sum * (1.0 / window);
}

void RunningAverage::feed(double a, double b, int averageNum, bool averaging) {
    const int window = Window(averageNum);
    if (averaging) {
        const double overwritten = a_[fillA_ < window ? fillA_ : 0];
        lastChangeA_ = (a - overwritten) / window;
    } else {
        lastChangeA_ = a - previousA_;
    }
    meanA_ = Store(a_, fillA_, a, window);
    meanB_ = Store(b_, fillB_, b, window);
}

}  // namespace clinora::calib
