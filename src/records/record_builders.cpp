#include "records/record_builders.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "calib/fit_residuals.h"
#include "calib/nominal_angles.h"
#include "calib/prompt_walk.h"
#include "link/number_text.h"
#include "product_version.h"
#include "records/digest.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

std::optional<double> Finite(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// One position of a sweep: its prompt row, its entry in the label list (the
// order of acceptance) and its nominal angle.
struct Position {
    Sweep sweep;
    int slot;
    int row;
    std::string label;
    double angle;
};

// The positions of a run in the order they were accepted: the first sweep
// from slot 0 up, the return sweep back down.
std::vector<Position> Positions(const DeviceRecord& device, int n, double tiltRange) {
    const calib::NominalAngleTable angles = calib::NominalAngles(tiltRange);
    const auto label = [&](int entry) {
        return entry < static_cast<int>(device.labels.size())
                   ? device.labels[static_cast<size_t>(entry)]
                   : std::string();
    };
    std::vector<Position> out;
    for (int k = 0; k < n; ++k)
        out.push_back(
            {Sweep::First, k, 2 * n - 1 - k, label(k + 1), angles.degrees[static_cast<size_t>(k)]});
    for (int k = n - 1; k >= 0; --k)
        out.push_back(
            {Sweep::Return, k, k, label(2 * n - k), angles.degrees[static_cast<size_t>(k)]});
    return out;
}

int PositionCount(const RunSetup& setup) { return std::clamp(setup.positions, 0, kMaxPositions); }

double MainReading(const DeviceRecord& d, int axis, Sweep sweep, int k) {
    const size_t i = static_cast<size_t>(k);
    if (axis == calib::kAxisA) return (sweep == Sweep::First ? d.aFirstMain : d.aReturnMain)[i];
    return (sweep == Sweep::First ? d.bFirstMain : d.bReturnMain)[i];
}

double CompanionReading(const DeviceRecord& d, int axis, Sweep sweep, int k) {
    const size_t i = static_cast<size_t>(k);
    if (axis == calib::kAxisA)
        return (sweep == Sweep::First ? d.aFirstCompanion : d.aReturnCompanion)[i];
    return (sweep == Sweep::First ? d.bFirstCompanion : d.bReturnCompanion)[i];
}

std::optional<double> Extra(const std::array<std::optional<double>, kMaxPositions>& first,
                            const std::array<std::optional<double>, kMaxPositions>& ret,
                            Sweep sweep, int k) {
    return (sweep == Sweep::First ? first : ret)[static_cast<size_t>(k)];
}

Record Begin(const RunInfo& run, RecordKind kind, const BoardIdentity& board, const FileRef& file) {
    Record r;
    r.uuid = RandomUuid();
    r.kind = kind;
    r.time = run.setup.end.empty() ? UtcNow() : run.setup.end;
    r.station = run.station.station;
    r.program = run.station.program;
    r.run = run.run;
    r.board = board;
    r.axis = AxisName(run.axis);
    r.file = file;
    r.setup = run.setup;
    return r;
}

std::string Degrees(double value) { return FormatFixed(value, 4) + "\u00b0"; }

}  // namespace

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
    return name;
}

StationInfo ThisStation(const std::string& name) {
    return {name.empty() ? HostName() : name, std::string(kProductName) + " " + kProductVersion};
}

RunInfo NewRun(const StationInfo& station, int axis, const RunSetup& setup) {
    return {station, axis, setup, RandomUuid()};
}

void AcceptExtras::store(bool firstSweep, int slot, std::optional<double> otherAxis,
                         std::optional<double> temperature) {
    if (slot < 0 || slot >= kMaxPositions) return;
    const size_t i = static_cast<size_t>(slot);
    (firstSweep ? otherFirst : otherReturn)[i] = otherAxis;
    (firstSweep ? temperatureFirst : temperatureReturn)[i] = temperature;
}

BoardIdentity IdentityOf(const std::string& address, const std::string& serial,
                         std::optional<float> firmware, std::optional<float> boardRevision) {
    BoardIdentity b;
    b.address = address;
    if (!serial.empty()) b.serial = serial;
    if (firmware) b.firmware = FormatFixed(*firmware, 3);
    if (boardRevision) b.boardRevision = FormatFixed(*boardRevision, 3);
    return b;
}

BoardIdentity UnknownBoard(const std::string& address) {
    BoardIdentity b;
    b.address = address;
    return b;
}

FileRef FileRefOf(const std::string& name, std::string_view bytes) {
    return {name, Sha256Hex(bytes)};
}

std::string AxisName(int axis) { return axis == calib::kAxisB ? "B" : "A"; }

Record BuildCalibrationRecord(const RunInfo& run, const BoardIdentity& board,
                              const DeviceRecord& device, const calib::CalFitWorkspace& fit,
                              const std::vector<calib::PromptRow>& rows, const FileRef& dataFile,
                              const AcceptExtras& extras) {
    Record r = Begin(run, RecordKind::Calibration, board, dataFile);
    const int n = PositionCount(run.setup);
    for (const Position& p : Positions(device, n, run.setup.tiltRange)) {
        r.readings.push_back(
            {p.row, p.sweep, p.slot, p.label, p.angle,
             MainReading(device, run.axis, p.sweep, p.slot),
             CompanionReading(device, run.axis, p.sweep, p.slot),
             Extra(extras.otherFirst, extras.otherReturn, p.sweep, p.slot),
             Extra(extras.temperatureFirst, extras.temperatureReturn, p.sweep, p.slot)});
    }
    r.constants = ConstantSet::Of(device);
    r.constantsSingle = r.constants->single();

    const calib::FitResiduals residuals =
        calib::ComputeFitResiduals(fit, run.axis, run.setup.negate, rows);
    for (Sweep sweep : {Sweep::First, Sweep::Return}) {
        const auto& points = sweep == Sweep::First ? residuals.firstSweep : residuals.returnSweep;
        for (size_t k = 0; k < points.size(); ++k)
            r.residuals.push_back({sweep, static_cast<int>(k), points[k].angle, points[k].residual,
                                   Finite(points[k].low), Finite(points[k].high)});
    }
    r.largestResidual = residuals.largest;
    r.largestResidualSingle = residuals.largestSingle;
    r.outcome = kOutcomeCalibrated;
    r.detail = "largest residual " + Degrees(residuals.largest) + ", " +
               Degrees(residuals.largestSingle) + " with single-precision constants";
    return r;
}

Record BuildTestRecord(const RunInfo& run, const BoardIdentity& board, const DeviceRecord& device,
                       const std::vector<calib::PromptRow>& rows, const FileRef& testFile,
                       const AcceptExtras& extras, const std::string& follows) {
    Record r = Begin(run, RecordKind::Test, board, testFile);
    r.follows = follows;
    const bool axisA = run.axis == calib::kAxisA;
    const int n = PositionCount(run.setup);
    int outside = 0, unknown = 0;
    std::string outsideNames;
    for (const Position& p : Positions(device, n, run.setup.tiltRange)) {
        TestRow t;
        t.row = p.row;
        t.sweep = p.sweep;
        t.slot = p.slot;
        t.label = p.label;
        t.angle = p.angle;
        t.expected = std::sin(p.angle * std::numbers::pi / 180.0);
        if (p.row < static_cast<int>(rows.size())) {
            const calib::PromptRow& row = rows[static_cast<size_t>(p.row)];
            t.expected = axisA ? row.aTestTarget : row.bTestTarget;
            const double low = axisA ? row.aTestLow : row.bTestLow;
            const double high = axisA ? row.aTestHigh : row.bTestHigh;
            if (low < high) {
                t.low = low;
                t.high = high;
            }
        }
        t.reading = MainReading(device, run.axis, p.sweep, p.slot);
        t.deviation = t.reading - t.expected;
        if (t.low && t.high) t.inside = calib::WithinLimits(t.reading, *t.low, *t.high);
        t.otherAxis = Extra(extras.otherFirst, extras.otherReturn, p.sweep, p.slot);
        t.temperature = Extra(extras.temperatureFirst, extras.temperatureReturn, p.sweep, p.slot);
        if (!t.inside) {
            ++unknown;
        } else if (!*t.inside) {
            ++outside;
            outsideNames += (outsideNames.empty() ? "" : "; ") +
                            (t.label.empty() ? FormatGeneral(t.angle, 6) + " deg" : t.label) +
                            " (" + std::string(SweepName(t.sweep)) + " sweep)";
        }
        r.testRows.push_back(std::move(t));
    }
    r.constants = ConstantSet::Of(device);
    r.constantsSingle = r.constants->single();
    const std::string positions = std::to_string(r.testRows.size());
    if (outside > 0) {
        r.outcome = kOutcomeFail;
        r.detail = "outside the limits at " + std::to_string(outside) + " of " + positions +
                   " positions: " + outsideNames;
    } else if (unknown > 0 || r.testRows.empty()) {
        r.outcome = kUnknown;
        r.detail =
            "no test limits for " + std::to_string(unknown) + " of " + positions + " positions";
    } else {
        r.outcome = kOutcomePass;
        r.detail = "within the limits at every position (" + positions + ")";
    }
    return r;
}

Record BuildTransferRecord(const StationInfo& station, const BoardIdentity& board,
                           const FileRef& file, const DeviceRecord& constants,
                           const TransferOutcome& outcome) {
    Record r;
    r.uuid = RandomUuid();
    r.kind = outcome.kind;
    r.time = UtcNow();
    r.station = station.station;
    r.program = station.program;
    r.follows = outcome.follows;
    r.board = board;
    r.axis = outcome.axis;
    r.file = file;
    r.outcome = outcome.success ? kOutcomeSuccess : kOutcomeFailure;
    r.detail = outcome.detail;
    r.constants = ConstantSet::Of(constants);
    r.constantsSingle = r.constants->single();
    return r;
}

}  // namespace clinora::records
