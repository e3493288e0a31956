#include "calib/running_average.h"

#include <algorithm>

namespace clinora::calib {

int RunningAverage::Window(int averageNum) { return std::clamp(averageNum, 1, kCapacity); }

void RunningAverage::reset() { *this = RunningAverage{}; }

double RunningAverage::earlier(const Ring& ring, int back) const {
    if (back >= count_) return 0.0;
    return ring[(next_ - 1 - back + kCapacity) % kCapacity];
}

double RunningAverage::mean(const Ring& ring, int window) const {
    const int taken = std::min(window, count_);
    if (taken == 0) return 0.0;
    double sum = 0;
    // Oldest first, so that the same readings always give the same sum.
    for (int back = taken - 1; back >= 0; --back) sum += earlier(ring, back);
    return sum / taken;
}

void RunningAverage::feed(double a, double b, int averageNum, bool averaging) {
    const int window = Window(averageNum);
    if (averaging) {
        // The reading that leaves the window as this one enters it.
        lastChangeA_ = (a - earlier(a_, window - 1)) / window;
    } else {
        lastChangeA_ = a - latestA_;
    }
    a_[next_] = a;
    b_[next_] = b;
    next_ = (next_ + 1) % kCapacity;
    count_ = std::min(count_ + 1, kCapacity);
    latestA_ = a;
    latestB_ = b;
    meanA_ = mean(a_, window);
    meanB_ = mean(b_, window);
}

}  // namespace clinora::calib
