#include "records/sample_runs.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

#include "calib/cal_data_file.h"
#include "calib/cal_fit_workspace.h"
#include "calib/nominal_angles.h"
#include "link/number_text.h"
#include "records/digest.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

constexpr int kTiltRange = 15;
constexpr double kTestLimit = 0.003;  // sine

double Sine(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }
double Volts(double degrees) { return 2.5 + 2.0 * Sine(degrees); }

std::string Label(double degrees) {
    return (degrees > 0 ? "+" : "") + FormatInt(static_cast<long long>(degrees)) + " deg";
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<calib::PromptRow> SamplePromptRows() {
    const calib::NominalAngleTable angles = calib::NominalAngles(kTiltRange);
    const int n = angles.count;
    std::vector<calib::PromptRow> rows(static_cast<size_t>(2 * n));
    for (int k = 0; k < n; ++k) {
        const double a = angles.degrees[static_cast<size_t>(k)];
        calib::PromptRow row;
        row.label = Label(a);
        row.aTarget = row.bTarget = Volts(a);
        row.aLow = row.bLow = Volts(a) - 0.0187;
        row.aHigh = row.bHigh = Volts(a) + 0.0187;
        row.aTestTarget = row.bTestTarget = Sine(a);
        row.aTestLow = row.bTestLow = Sine(a) - kTestLimit;
        row.aTestHigh = row.bTestHigh = Sine(a) + kTestLimit;
        row.firstLabel = "First";
        rows[static_cast<size_t>(2 * n - 1 - k)] = row;  // the first sweep's row of slot k
        row.firstLabel = "Return";
        rows[static_cast<size_t>(k)] = row;  // and the return sweep's
    }
    return rows;
}

SampleRun MakeSampleRun(const std::filesystem::path& folder, int boards, int firstAddress,
                        unsigned seed, const StationInfo& station, int failingAddress) {
    SampleRun run;
    run.rows = SamplePromptRows();
    const calib::NominalAngleTable angles = calib::NominalAngles(kTiltRange);
    const int n = angles.count;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);

    RunSetup setup;
    setup.operatorName = "Sample Operator";
    setup.promptFile = {"CalPrompts.csv", Sha256Hex("sample prompts")};
    setup.tiltRange = kTiltRange;
    setup.positions = n;
    setup.averaging = true;
    setup.averageNum = 5;
    setup.toleranceCal = 0.5;
    setup.toleranceTest = 0.0001;
    setup.start = UtcNow();
    setup.end = setup.start;
    const RunInfo calibration = NewRun(station, calib::kAxisA, setup);
    const RunInfo test = NewRun(station, calib::kAxisA, setup);

    // The files' dates: one day per seed, so that names rarely repeat.
    const LocalDateTime date{2020 + static_cast<int>(seed / 336 % 8),
                             static_cast<int>(seed / 28 % 12) + 1,
                             static_cast<int>(seed % 28) + 1,
                             10,
                             20,
                             30};
    std::filesystem::create_directories(folder);
    calib::CalDataFile files([date] { return date; });
    files.setFolder(folder);
    files.setPositionCount(n);
    files.setTiltRange(kTiltRange);
    calib::CalFitWorkspace fit;

    for (int b = 0; b < boards; ++b) {
        const int address = firstAddress + b;
        const double offset = 0.01 * unit(random), gain = 1.0 + 0.01 * unit(random);
        DeviceRecord device;
        device.addressNumber = address;
        device.labels.push_back("A Axis," + Label(angles.degrees[0]));
        AcceptExtras extras;
        for (int sweep = 0; sweep < 2; ++sweep) {
            for (int i = 0; i < n; ++i) {
                const int k = sweep == 0 ? i : n - 1 - i;
                const double a = angles.degrees[static_cast<size_t>(k)];
                const double s = Sine(a);
                const double volts = 2.5 + 2.0 * gain * s + 0.01 * s * s - 0.02 * s * s * s +
                                     offset + 0.0005 * unit(random);
                (sweep == 0 ? device.aFirstMain : device.aReturnMain)[static_cast<size_t>(k)] =
                    volts;
                device.labels.push_back("A Axis," + Label(a));
                extras.store(sweep == 0, k, 2.5 + 0.002 * unit(random), 25.0 + unit(random));
            }
        }
        const BoardIdentity identity =
            IdentityOf(std::to_string(address), "ZC-" + FormatInt(address, 6), 1.5f, 2.0f);
        fit.Reset(n, kTiltRange);
        if (fit.Compute(device, calib::kAxisA, false) != calib::kFitOk) continue;
        const std::string dataName = files.MakeFileName(device, calib::kPrefixAxisA, false);
        if (files.WriteCalibrationFile({}, device, fit, false, calib::kAxisA) != 0)
            throw std::runtime_error("cannot write " + (folder / dataName).string());
        run.dataFiles.push_back(dataName);
        run.calibrations.push_back(
            BuildCalibrationRecord(calibration, identity, device, fit, run.rows,
                                   FileRefOf(dataName, ReadAll(folder / dataName)), extras));

        // The test walk: calibrated sines close to the truth.
        DeviceRecord tested = device;
        for (int k = 0; k < n; ++k) {
            const double s = Sine(angles.degrees[static_cast<size_t>(k)]);
            tested.aFirstMain[static_cast<size_t>(k)] = s + 0.0008 * unit(random);
            tested.aReturnMain[static_cast<size_t>(k)] = s + 0.0008 * unit(random);
        }
        if (address == failingAddress) tested.aFirstMain[0] += 0.01;
        const std::string testName = files.MakeFileName(tested, calib::kPrefixTestAxisA, false);
        if (files.WriteTestFile({}, tested, false, calib::kAxisA) != 0)
            throw std::runtime_error("cannot write " + (folder / testName).string());
        run.testFiles.push_back(testName);
        run.tests.push_back(BuildTestRecord(test, identity, tested, run.rows,
                                            FileRefOf(testName, ReadAll(folder / testName)), extras,
                                            run.calibrations.back().uuid));
    }
    return run;
}

}  // namespace clinora::records
