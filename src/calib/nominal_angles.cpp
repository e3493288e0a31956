#include "calib/nominal_angles.h"

#include <algorithm>
#include <initializer_list>

namespace clinora::calib {

namespace {

NominalAngleTable Make(std::initializer_list<double> angles) {
    NominalAngleTable table;
    std::copy(angles.begin(), angles.end(), table.degrees.begin());
    table.count = static_cast<int>(angles.size());
    return table;
}

}  // namespace

NominalAngleTable NominalAngles(double tiltRange) {
    if (tiltRange == 5.0) return Make({5, 4, 3, 2, 1, 0, -1, -2, -3, -4, -5});
    // Not evenly spaced: the small angles are what matters at this range.
    if (tiltRange == 10.0) return Make({10, 5, 2, 0, -2, -5, -10});
    if (tiltRange == 30.0) return Make({30, 20, 10, 0, -10, -20, -30});
    if (tiltRange == 45.0) return Make({45, 35, 25, 15, 5, 0, -5, -15, -25, -35, -45});
    if (tiltRange == 50.0) return Make({50, 40, 30, 20, 10, 0, -10, -20, -30, -40, -50});
    if (tiltRange == 90.0) return Make({90, 75, 60, 45, 30, 15, 0, -15, -30, -45, -60, -75, -90});
    return Make({15, 10, 5, 0, -5, -10, -15});
}

}  // namespace clinora::calib
