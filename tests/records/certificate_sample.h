#pragma once

// A board's calibration and test as the builder takes them: the 15 degree
// table's seven positions in two sweeps, limits 0.003 either side of the sine,
// readings off by chosen deviations.

#include <cmath>
#include <map>
#include <numbers>
#include <string>

#include "records/certificate_builder.h"

namespace clinora::testing {

struct CertificateSample {
    records::CertificateParties parties;
    records::CalibrationInput calibration;
    records::TestInput test;

    records::Certificate build(int64_t issueTime = 1709629622) const {
        return *records::BuildCertificate(parties, calibration, test, issueTime).certificate;
    }
};

// `deviations` maps a row number (1..14, in the order prompted) to how far its
// reading lies from the sine.
inline CertificateSample MakeCertificateSample(const std::map<int, double>& deviations = {}) {
    static constexpr double kAngles[] = {15, 10, 5, 0, -5, -10, -15};
    CertificateSample s;
    s.parties.laboratory = {"Metrology Lab North", "Industriestrasse 4\n12345 Example Town",
                            "lab@example.org", "Example Town", "de"};
    s.parties.station = "CAL-STATION-2";
    s.parties.operatorName = "A. Technician";
    s.calibration = {"9f1c2d3e-0000-4000-8000-000000000001",
                     1709628000,
                     "ZC-000417",
                     "1.50",
                     "2.00",
                     "101",
                     {-1.25f, 0.5f, 1e-4f, 0.0123f, -4.5e-4f, -2.4e-6f, 0, 3.125e-8f},
                     {"00101_CAL_DATA_AXIS_A_03-05-24.csv", std::string(64, 'a')}};
    s.test.recordId = "9f1c2d3e-0000-4000-8000-000000000002";
    s.test.time = 1709629200;
    s.test.method = {"CalPrompts.csv", std::string(64, 'b'), 15, 10, true, 24.84};
    s.test.file = {"00101_CAL_DATA_AXIS_A_TEST_03-05-24.csv", std::string(64, 'c')};
    for (int i = 0; i < 14; ++i) {
        const bool first = i < 7;
        const double angle = kAngles[first ? i : 13 - i];
        const double sine = std::sin(angle * std::numbers::pi / 180);
        const auto dev = deviations.find(i + 1);
        const std::string label = (angle > 0 ? "+" : "") + std::to_string(int(angle)) + " deg";
        s.test.rows.push_back({label, first, angle,
                               sine + (dev == deviations.end() ? 0 : dev->second), sine - 0.003,
                               sine + 0.003});
    }
    return s;
}

}  // namespace clinora::testing
