#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "calib/cal_fit_workspace.h"
#include "calib/fit_residuals.h"
#include "calib/lsq_solver.h"
#include "calib/nominal_angles.h"

namespace clinora::calib {
namespace {

constexpr double kDegree = 0.017453292519943295;

// Both sweeps of `axis` read `reading(angle)`; the companions read `companion(main)`.
template <class Reading, class Companion>
DeviceRecord RunRecord(double tiltRange, int axis, Reading reading, Companion companion) {
    const NominalAngleTable t = NominalAngles(tiltRange);
    DeviceRecord r;
    for (int k = 0; k < t.count; ++k) {
        const double first = reading(t.degrees[k]);
        const double back = reading(t.degrees[k]) + 1e-4;  // the return sweep reads a bit higher
        if (axis == kAxisA) {
            r.aFirstMain[k] = first;
            r.aReturnMain[k] = back;
            r.aFirstCompanion[k] = companion(first);
            r.aReturnCompanion[k] = companion(back);
        } else {
            r.bFirstMain[k] = first;
            r.bReturnMain[k] = back;
            r.bFirstCompanion[k] = companion(first);
            r.bReturnCompanion[k] = companion(back);
        }
    }
    return r;
}

DeviceRecord LinearRun(double tiltRange, int axis) {
    return RunRecord(
        tiltRange, axis, [](double deg) { return 2.0 * std::sin(deg * kDegree); },
        [](double) { return 0.0; });
}

void ExpectSameConstants(const DeviceRecord& x, const DeviceRecord& y) {
    EXPECT_EQ(x.a, y.a);
    EXPECT_EQ(x.b, y.b);
    EXPECT_EQ(x.aCrossLinear, y.aCrossLinear);
    EXPECT_EQ(x.aCrossQuadratic, y.aCrossQuadratic);
    EXPECT_EQ(x.bCrossLinear, y.bCrossLinear);
    EXPECT_EQ(x.bCrossQuadratic, y.bCrossQuadratic);
}

DeviceRecord WithOldConstants(DeviceRecord r) {
    r.a = {1, 2, 3, 4, 5, 6};
    r.b = {7, 8, 9, 10, 11, 12};
    r.aCrossLinear = 13;
    r.aCrossQuadratic = 14;
    r.bCrossLinear = 15;
    r.bCrossQuadratic = 16;
    return r;
}

TEST(CalFit, ReadingsLinearInTheSineGiveHalfSlope) {
    for (double range : {15.0, 30.0, 45.0, 50.0, 90.0}) {
        for (int axis : {kAxisA, kAxisB}) {
            SCOPED_TRACE("range " + std::to_string(range) + " axis " + std::to_string(axis));
            CalFitWorkspace ws;
            ws.Reset(NominalAngles(range).count, range);
            DeviceRecord r = LinearRun(range, axis);
            // Both sweeps read exactly 2 sin.
            if (axis == kAxisA)
                r.aReturnMain = r.aFirstMain;
            else
                r.bReturnMain = r.bFirstMain;
            ASSERT_EQ(ws.Compute(r, axis, false), kFitOk);
            const Coefficients& c = axis == kAxisA ? r.a : r.b;
            EXPECT_NEAR(c[0], 0.0, 1e-10);
            EXPECT_NEAR(c[1], 0.5, 1e-10);
            for (int j = 2; j < 6; ++j) EXPECT_NEAR(c[j], 0.0, 1e-9) << "term " << j;
        }
    }
}

TEST(CalFit, NegateFlipsTheCoefficientsNotTheCrossTerms) {
    const auto companion = [](double x) { return 0.002 + 0.01 * x + 0.003 * x * x; };
    DeviceRecord plain = RunRecord(
        45.0, kAxisB, [](double deg) { return 2.5 + 2.0 * std::sin(deg * kDegree); }, companion);
    DeviceRecord negated = plain;
    CalFitWorkspace ws;
    ws.Reset(11, 45.0);
    ASSERT_EQ(ws.Compute(plain, kAxisB, false), kFitOk);
    ws.Reset(11, 45.0);
    ASSERT_EQ(ws.Compute(negated, kAxisB, true), kFitOk);
    for (int j = 0; j < 6; ++j) EXPECT_EQ(negated.b[j], -plain.b[j]);
    EXPECT_NEAR(plain.bCrossLinear, 0.01, 1e-9);
    EXPECT_NEAR(plain.bCrossQuadratic, 0.003, 1e-9);
    EXPECT_EQ(negated.bCrossLinear, plain.bCrossLinear);
    EXPECT_EQ(negated.bCrossQuadratic, plain.bCrossQuadratic);
    // The calibrated values of the fitted axis land on the sine.
    EXPECT_NEAR(ws.CalibratedMain(kAxisB, kFirstSweep, 0), -std::sin(45 * kDegree), 1e-4);
}

TEST(CalFit, AxisAAfterResetLeavesTheBBlockZero) {
    CalFitWorkspace ws;
    ws.Reset(7, 15.0);
    DeviceRecord r = WithOldConstants(LinearRun(15.0, kAxisA));
    ASSERT_EQ(ws.Compute(r, kAxisA, false), kFitOk);
    EXPECT_EQ(r.b, (Coefficients{}));
    EXPECT_EQ(r.bCrossLinear, 0.0);
    EXPECT_EQ(r.bCrossQuadratic, 0.0);
    EXPECT_NEAR(r.a[1], 0.5, 1e-10);
    EXPECT_EQ(r.aCrossLinear, 0.0);  // companions all 0
}

TEST(CalFit, EqualMainReadingsAreDegenerateAndChangeNothing) {
    for (int n : {7, 11, 13}) {
        const double range = n == 7 ? 15.0 : n == 11 ? 50.0 : 90.0;
        for (int axis : {kAxisA, kAxisB}) {
            DeviceRecord r = WithOldConstants(RunRecord(
                range, axis, [](double) { return 1.0; }, [](double) { return 0.0; }));
            for (int k = 0; k < n; ++k) (axis == kAxisA ? r.aReturnMain : r.bReturnMain)[k] = 1.0;
            const DeviceRecord before = r;
            CalFitWorkspace ws;
            ws.Reset(n, range);
            EXPECT_EQ(ws.Compute(r, axis, false),
                      axis == kAxisA ? kFitCrossDegenerateA : kFitCrossDegenerateB)
                << "n " << n;
            ExpectSameConstants(r, before);
        }
    }
}

TEST(CalFit, SingularNormalMatrixIsReportedNotFatal) {
    // Three distinct readings pass the cross regression but cannot carry six terms.
    DeviceRecord r = WithOldConstants(RunRecord(
        15.0, kAxisA, [](double deg) { return deg > 0   ? 1.0
                                              : deg < 0 ? -1.0
                                                        : 0.0; },
        [](double) { return 0.0; }));
    r.aReturnMain = r.aFirstMain;
    const DeviceRecord before = r;
    CalFitWorkspace ws;
    ws.Reset(7, 15.0);
    // A library says what failed to its caller and prints nothing.
    testing::internal::CaptureStderr();
    const int result = ws.Compute(r, kAxisA, false);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, kFitNumericFailure);
    EXPECT_EQ(ws.lastError(), kSingularFit);
    EXPECT_EQ(err, "");
    ExpectSameConstants(r, before);
    // The workspace keeps its earlier constants too.
    EXPECT_EQ(ws.coefficientsOf(kAxisA), (Coefficients{}));
}

TEST(CalFit, FitWithoutFreeTermsFails) {
    Vector1 x(3), y(3), sigma(3), a(2);
    IntVector1 flags(2);
    Matrix1 covariance(2, 2);
    for (int i = 1; i <= 3; ++i) {
        x[i] = i;
        y[i] = 2 * i;
        sigma[i] = 1;
    }
    flags[1] = flags[2] = 0;
    a[1] = a[2] = 0;
    double chi = 0;
    testing::internal::CaptureStderr();
    try {
        FitLinearLeastSquares(x, y, sigma, 3, a, flags, 2, covariance, chi, PolynomialBasis);
        ADD_FAILURE() << "no failure";
    } catch (const NumericFailure& failure) {
        EXPECT_STREQ(failure.what(), kNothingToFit);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(CalFit, HeldTermsAreTakenOutAndSortedBack) {
    // y = 1 + 2x + 3x^2 with the constant held at 1: the fit finds 2 and 3.
    Vector1 x(4), y(4), sigma(4), a(3);
    IntVector1 flags(3);
    Matrix1 covariance(3, 3);
    for (int i = 1; i <= 4; ++i) {
        x[i] = i - 2;
        y[i] = 1 + 2 * x[i] + 3 * x[i] * x[i];
        sigma[i] = 1;
    }
    flags[1] = 0;
    flags[2] = flags[3] = 1;
    a[1] = 1;
    double chi = -1;
    FitLinearLeastSquares(x, y, sigma, 4, a, flags, 3, covariance, chi, PolynomialBasis);
    EXPECT_NEAR(a[2], 2.0, 1e-12);
    EXPECT_NEAR(a[3], 3.0, 1e-12);
    EXPECT_NEAR(chi, 0.0, 1e-20);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(covariance.at(1, j), 0.0);
        EXPECT_EQ(covariance.at(j, 1), 0.0);
    }
    // Held constant: the covariance of the free terms is the inverse of
    // [[sum x^2, sum x^3], [sum x^3, sum x^4]] = [[6, 8], [8, 18]].
    EXPECT_NEAR(covariance.at(2, 2), 18.0 / 44.0, 1e-12);
    EXPECT_NEAR(covariance.at(2, 3), -8.0 / 44.0, 1e-12);
    EXPECT_NEAR(covariance.at(3, 3), 6.0 / 44.0, 1e-12);
}

TEST(GaussJordan, TiedPivotsPickTheLastInRowMajorOrder) {
    Matrix1 m(3, 3), b(3, 1);
    const double cells[3][3] = {{2, 1, -2}, {1, 2, 1}, {-2, 1, 2}};
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) m[i][j] = cells[i - 1][j - 1];
        b[i][1] = 0;
    }
    b[1][1] = 1;  // solution: the first column of the inverse
    PivotTrace trace;
    SolveGaussJordan(m, 3, b, 1, &trace);
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0], std::make_pair(3, 3));
    // The inverse times the original matrix is the identity.
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) {
            double sum = 0;
            for (int k = 1; k <= 3; ++k) sum += m.at(i, k) * cells[k - 1][j - 1];
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-12);
        }
        EXPECT_NEAR(b.at(i, 1), m.at(i, 1), 1e-15);
    }
}

TEST(CalFit, CalibratedValuesAndBadArguments) {
    CalFitWorkspace ws;
    ws.Reset(7, 15.0);
    DeviceRecord r;
    for (int k = 0; k < 7; ++k) {
        r.aFirstCompanion[k] = 10 + k;
        r.aReturnCompanion[k] = 20 + k;
        r.bFirstMain[k] = 30 + k;
    }
    ws.load(r);
    ws.setConstants(kAxisA, {0, 2, 0, 0, 0, 0}, 0, 0);
    ws.setConstants(kAxisB, {1, 1, 0, 0, 0, 0}, 0, 0);
    // An axis A companion is a B reading: it goes through B's polynomial.
    EXPECT_EQ(ws.CalibratedCompanion(kAxisA, kFirstSweep, 2), 13.0);
    EXPECT_EQ(ws.CalibratedCompanion(kAxisA, kReturnSweep, 0), 27.0);  // slot n-1
    EXPECT_EQ(ws.CalibratedCompanion(kAxisA, kReturnSweep, 6), 21.0);  // slot 0
    EXPECT_EQ(ws.CalibratedMain(kAxisB, kFirstSweep, 3), 34.0);
    EXPECT_EQ(ws.CalibratedMain(2, 0, 0), -1.0);
    EXPECT_EQ(ws.CalibratedCompanion(-1, 0, 0), -1.0);
    EXPECT_EQ(ws.EvaluatePolynomial(2, 3.5), 3.5);
    EXPECT_EQ(ws.CalibratedMain(kAxisA, kFirstSweep, 99), -1.0);
    EXPECT_EQ(ws.CalibratedCompanion(kAxisA, kReturnSweep, 99), -1.0);

    // More positions than the range has angles, a bad axis or a reading that is
    // no number: refused, the record keeps its constants.
    DeviceRecord good = WithOldConstants(LinearRun(15.0, kAxisA));
    const DeviceRecord before = good;
    ws.Reset(8, 15.0);
    EXPECT_EQ(ws.Compute(good, kAxisA, false), kFitBadInput);
    ws.Reset(7, 15.0);
    EXPECT_EQ(ws.Compute(good, 2, false), kFitBadInput);
    good.aReturnMain[3] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(ws.Compute(good, kAxisA, false), kFitBadInput);
    good.aReturnMain[3] = before.aReturnMain[3];
    ExpectSameConstants(good, before);
}

TEST(CalFit, NinetyDegreeRunUsesThirteenPositions) {
    const NominalAngleTable t = NominalAngles(90.0);
    ASSERT_EQ(t.count, 13);
    EXPECT_EQ(t.degrees[12], -90.0);
    // A mildly nonlinear transfer, like a real board's.
    DeviceRecord r = RunRecord(
        90.0, kAxisA,
        [](double deg) {
            const double s = std::sin(deg * kDegree);
            return 2.5 + 2.0 * (s + 0.01 * s * s - 0.02 * s * s * s);
        },
        [](double) { return 0.0; });
    CalFitWorkspace ws;
    ws.Reset(13, 90.0);
    ASSERT_EQ(ws.Compute(r, kAxisA, false), kFitOk);
    for (int k = 0; k < 13; ++k)
        EXPECT_NEAR(ws.CalibratedMain(kAxisA, kFirstSweep, k), std::sin(t.degrees[k] * kDegree),
                    2e-4)
            << "slot " << k;
}

TEST(NominalAngles, UnevenTenDegreeTableAndFallback) {
    const NominalAngleTable ten = NominalAngles(10.0);
    ASSERT_EQ(ten.count, 7);
    EXPECT_EQ(ten.degrees[1], 5.0);
    EXPECT_EQ(ten.degrees[2], 2.0);
    const NominalAngleTable other = NominalAngles(20.0);
    EXPECT_EQ(other.count, 7);
    EXPECT_EQ(other.degrees[0], 15.0);
    EXPECT_EQ(NominalAngles(5.0).count, 11);
}

// The residual figure "with single-precision constants" is that of the
// constants a board holds: each rounded to a float before the polynomial runs.
TEST(FitResiduals, TheSinglePrecisionFigureRoundsEveryConstant) {
    const NominalAngleTable t = NominalAngles(15.0);
    DeviceRecord r;
    for (int k = 0; k < t.count; ++k) {
        r.aFirstMain[k] = 2 * std::sin(t.degrees[k] * kDegree) + 1e-3 * k;
        r.aReturnMain[k] = 2 * std::sin(t.degrees[k] * kDegree) - 7e-4 * k;
    }
    CalFitWorkspace ws;
    ws.Reset(t.count, 15.0);
    ws.load(r);
    const Coefficients c = {1.234567890123e-3, 0.4987654321987, 2.3456789012e-3,
                            -1.23456789e-2,    3.3333333333e-4, 1.1111111111e-3};
    ws.setConstants(kAxisA, c, 0.0, 0.0);
    const FitResiduals residuals = ComputeFitResiduals(ws, kAxisA, false, {});

    double largest = 0;
    for (const PositionArray* sweep : {&r.aFirstMain, &r.aReturnMain}) {
        for (int k = 0; k < t.count; ++k) {
            const double x = (*sweep)[k];
            double sine = 0, power = 1;
            for (double coefficient : c) {
                sine += static_cast<float>(coefficient) * power;
                power *= x;
            }
            largest = std::max(largest, std::fabs(std::asin(sine) / kDegree - t.degrees[k]));
        }
    }
    EXPECT_NEAR(residuals.largestSingle, largest, 1e-9);
    // The rounding shows: the figure is not the double-precision one.
    EXPECT_GT(std::fabs(residuals.largestSingle - residuals.largest), 1e-7);
}

}  // namespace
}  // namespace clinora::calib
