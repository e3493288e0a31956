// The fit against an independent least-squares solution (column-pivoted QR in
// long double) on readings like those of real boards.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "calib/cal_fit_workspace.h"
#include "calib/nominal_angles.h"
#include "sim/transfer.h"

namespace clinora::calib {
namespace {

using LongMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
using LongVector = Eigen::Matrix<long double, Eigen::Dynamic, 1>;

// Small deterministic noise in +-0.0004 V.
struct Noise {
    unsigned state;
    double next() {
        state = state * 1103515245u + 12345u;
        return ((state >> 8) % 8001) / 8000.0 * 0.0008 - 0.0004;
    }
};

// Largest difference between the workspace's polynomial and the reference fit
// over the range of the averaged readings.
double FitDeviation(double range, const sim::AxisProfile& profile, int axis, unsigned seed) {
    const NominalAngleTable t = NominalAngles(range);
    const int n = t.count;
    Noise noise{seed};
    DeviceRecord r;
    for (int k = 0; k < n; ++k) {
        const double first = sim::AxisVolts(profile, t.degrees[k], 23.0) + noise.next();
        const double back = sim::AxisVolts(profile, t.degrees[k], 27.0) + noise.next();
        (axis == kAxisA ? r.aFirstMain : r.bFirstMain)[k] = first;
        (axis == kAxisA ? r.aReturnMain : r.bReturnMain)[k] = back;
        (axis == kAxisA ? r.aFirstCompanion : r.bFirstCompanion)[k] = 0.001 * noise.next();
    }
    CalFitWorkspace ws;
    ws.Reset(n, range);
    EXPECT_EQ(ws.Compute(r, axis, false), kFitOk);

    LongMatrix v(n, 6);
    LongVector y(n);
    double lo = 1e9, hi = -1e9;
    for (int k = 0; k < n; ++k) {
        const double x = axis == kAxisA ? (r.aReturnMain[k] + r.aFirstMain[k]) * 0.5
                                        : (r.bReturnMain[k] + r.bFirstMain[k]) * 0.5;
        lo = std::min(lo, x);
        hi = std::max(hi, x);
        long double power = 1.0L;
        for (int j = 0; j < 6; ++j, power *= x) v(k, j) = power;
        y(k) = std::sin(t.degrees[k] * 0.017453292519943295);
    }
    const LongVector c = v.colPivHouseholderQr().solve(y);

    double worst = 0.0;
    for (int i = 0; i <= 400; ++i) {
        const double x = lo + (hi - lo) * i / 400.0;
        long double reference = 0.0L;
        for (int j = 5; j >= 0; --j) reference = reference * x + c(j);
        worst = std::max(
            worst, static_cast<double>(std::fabs(ws.EvaluatePolynomial(axis, x) - reference)));
    }
    return worst;
}

TEST(CalFitReference, AgreesWithQrSolutionOnEveryRange) {
    const sim::AxisProfile boards[] = {
        {0.0, 1.0, 0.0}, {0.006, 1.004, 0.00015}, {-0.009, 0.991, -0.0002}, {0.01, 1.01, 0.0001}};
    for (double range : {5.0, 10.0, 15.0, 30.0, 45.0, 50.0, 90.0}) {
        double worst = 0.0;
        unsigned seed = 1;
        for (const sim::AxisProfile& p : boards)
            for (int axis : {kAxisA, kAxisB})
                worst = std::max(worst, FitDeviation(range, p, axis, seed++));
        // The normal equations square the condition of the problem (about 4e9 at
        // 5 degrees, 3e8 at 10, 3e7 at 15), so the narrow ranges keep fewer digits.
        const double limit = range == 5.0    ? 5e-4
                             : range == 10.0 ? 1e-4
                             : range == 15.0 ? 2e-7
                                             : 1e-8;
        std::printf("[ fit      ] range %2.0f: largest deviation from QR %.3g (limit %g)\n", range,
                    worst, limit);
        RecordProperty("deviation_range_" + std::to_string(static_cast<int>(range)),
                       std::to_string(worst));
        EXPECT_LT(worst, limit) << "range " << range;
    }
}

}  // namespace
}  // namespace clinora::calib
