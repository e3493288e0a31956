// Writes the shipped prompt files (data/prompts) from the simulated boards'
// transfer: volts targets and limits that every board within the variation
// bounds meets at 15..35 C with noise, and test limits in sine units.
// Usage: calib_make_prompts <folder>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/startup_rules.h"
#include "calib/byte_lines.h"
#include "calib/nominal_angles.h"
#include "calib/prompt_file.h"
#include "link/number_text.h"
#include "sim/transfer.h"

namespace {

using namespace clinora;
using namespace clinora::calib;

constexpr double kMarginVolts = 0.001;  // beyond the worst board, noise included
// A calibrated board tested away from its calibration temperature is off by up
// to 20 C x 0.0002 V/C / 2 V per sine = 0.002, plus noise.
constexpr double kTestToleranceSine = 0.003;

struct Window {
    double low, high;
};

Window VoltsWindow(double angle) {
    double low = 1e9, high = -1e9;
    for (double offset : {-sim::kMaxOffsetVolts, sim::kMaxOffsetVolts})
        for (double gain : {1.0 - sim::kMaxGainError, 1.0 + sim::kMaxGainError})
            for (double drift : {-sim::kMaxDriftVoltsPerC, sim::kMaxDriftVoltsPerC})
                for (double temp : {sim::kMinTempC, sim::kMaxTempC}) {
                    const double v = sim::AxisVolts({offset, gain, drift}, angle, temp);
                    low = std::fmin(low, v);
                    high = std::fmax(high, v);
                }
    const double spread = sim::kMaxNoiseVolts + kMarginVolts;
    return {std::floor((low - spread) * 1e4) / 1e4, std::ceil((high + spread) * 1e4) / 1e4};
}

std::string AngleLabel(double angle) {
    const std::string digits = FormatInt(static_cast<int>(std::fabs(angle)));
    return (angle > 0 ? "+" : angle < 0 ? "-" : "") + digits + " deg";
}

std::string Row(const std::string& sweep, int step, double angle) {
    const Window w = VoltsWindow(angle);
    const std::string volts = FormatFixed(sim::NominalVolts(angle), 4) + "," +
                              FormatFixed(w.low, 4) + "," + FormatFixed(w.high, 4);
    const double sine = std::sin(angle * sim::kPi / 180.0);
    const std::string test = FormatFixed(sine, 6) + "," +
                             FormatFixed(sine - kTestToleranceSine, 6) + "," +
                             FormatFixed(sine + kTestToleranceSine, 6);
    return sweep + "," + AngleLabel(angle) + "," + FormatInt(step) + "," + volts + "," + volts +
           "," + test + "," + test;
}

// Rows are walked from the last to the first: the upper half is the first sweep
// (highest angle down), the lower half the return sweep (lowest angle back up),
// so the file lists the return sweep from its end and the first sweep upwards.
std::string PromptFile(int range) {
    const NominalAngleTable table = NominalAngles(range);
    const int n = table.count;
    std::string text;
    AppendLine(text, "2,Clinora calibration prompts,Tilt range " + FormatInt(range));
    AppendLine(text,
               "Sweep,Position,Step,A target,A low,A high,B target,B low,B high,"
               "A test target,A test low,A test high,B test target,B test low,B test high");
    for (int row = 0; row < 2 * n; ++row) {
        const bool returnSweep = row < n;
        const int slot = returnSweep ? row : 2 * n - 1 - row;
        AppendLine(text, Row(returnSweep ? "Return" : "First", 2 * n - row,
                             table.degrees[static_cast<std::size_t>(slot)]));
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    for (int range : {15, 5, 10, 30, 45, 50, 90}) {
        const std::filesystem::path path =
            std::filesystem::path(argv[1]) / PromptFileForTiltRange(range);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        const std::string text = PromptFile(range);
        const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (std::fclose(f) != 0 || !ok) return 1;
    }
    return 0;
}
