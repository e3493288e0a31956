// Times issuing the certificates of a full set of six boards: building each
// certificate, writing its DCC XML and rendering its PDF into a temporary
// folder (not a test). Goal: under 2 s for all six.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "calib/nominal_angles.h"
#include "gui/certificate_pdf.h"
#include "records/certificate_builder.h"

namespace {

using namespace clinora;

// Board b after a calibration and test of the 50 degree range: eleven
// positions in two sweeps, a small deviation everywhere.
records::CertificateBuild Board(int b) {
    const calib::NominalAngleTable angles = calib::NominalAngles(50);
    const std::string serial = "ZC-00041" + std::to_string(b);
    records::CalibrationInput cal{"cal-" + serial,
                                  1709628000,
                                  serial,
                                  "1.5",
                                  "2",
                                  std::to_string(101 + b),
                                  {-1.25f, 0.5f, 1e-4f, 0.0123f, -4.5e-4f, -2.4e-6f, 0, 3e-8f},
                                  {"00101_CAL_DATA_AXIS_A_03-05-24.csv", std::string(64, 'a')}};
    records::TestInput test;
    test.recordId = "test-" + serial;
    test.time = 1709629200;
    test.method = {"CalPrompts50.csv", std::string(64, 'b'), 50, 10, true, 24.8};
    test.file = {"00101_CAL_DATA_AXIS_A_TEST_03-05-24.csv", std::string(64, 'c')};
    for (int i = 0; i < 2 * angles.count; ++i) {
        const bool first = i < angles.count;
        const double angle =
            angles.degrees[static_cast<size_t>(first ? i : 2 * angles.count - 1 - i)];
        const double sine = std::sin(angle * std::numbers::pi / 180);
        test.rows.push_back({std::to_string(static_cast<int>(angle)) + " deg", first, angle,
                             sine + 0.0004 * std::sin(i + b), sine - 0.003, sine + 0.003});
    }
    return records::BuildCertificate({}, cal, test, 1709629622);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QElapsedTimer total;
    total.start();
    for (int b = 0; b < 6; ++b) {
        QElapsedTimer one;
        one.start();
        const records::CertificateBuild built = Board(b);
        if (!built.certificate) {
            std::fprintf(stderr, "%s\n", built.error.c_str());
            return 1;
        }
        const IssuedCertificate issued = IssueCertificate(*built.certificate, dir.path());
        if (!issued.ok()) {
            std::fprintf(stderr, "%s\n", issued.error.toStdString().c_str());
            return 1;
        }
        std::printf("board %d: %lld ms\n", b + 1, static_cast<long long>(one.elapsed()));
    }
    const long long ms = total.elapsed();
    std::printf("six certificates (PDF and XML): %lld ms in total (goal: under 2000 ms)\n", ms);
    return 0;
}
