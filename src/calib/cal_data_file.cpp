#include "calib/cal_data_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <system_error>

#include "calib/byte_lines.h"
#include "calib/cal_file_layout.h"
#include "calib/nominal_angles.h"
#include "link/number_text.h"

namespace clinora::calib {

namespace {

constexpr int kMaxNameSuffix = 1025;
// The constants reader takes at most this many bytes for one line.
constexpr std::size_t kConstantsLineBytes = 80;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool Exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// The value of a constants line: the text after the first comma, trimmed of
// blanks and commas at both ends. It counts only as a whole decimal number
// that a board's single-precision cell can hold.
bool ConstantValue(const std::string& line, double& value) {
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    std::string_view text(line);
    text.remove_prefix(comma + 1);
    const auto trimmed = [](char c) { return c == ' ' || c == ','; };
    while (!text.empty() && trimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && trimmed(text.back())) text.remove_suffix(1);
    const std::optional<double> parsed = ParseWholeDouble(text);
    if (!parsed || !FitsFloat(*parsed)) return false;
    value = *parsed;
    return true;
}

}  // namespace

void CalDataFile::setPositionCount(int positions) { n_ = std::clamp(positions, 0, kMaxPositions); }

std::string CalDataFile::MakeFileName(const DeviceRecord& record, std::string_view prefix,
                                      bool append) {
    const LocalDateTime now = now_();
    const std::string base = FormatInt(record.addressNumber, 5) + "_CAL_DATA_" +
                             std::string(prefix) + FormatInt(now.month, 2) + "-" +
                             FormatInt(now.day, 2) + "-" + FormatInt(now.year % 100, 2);
    std::string name = base + ".csv";
    // Appending keeps adding runs to the day's file; otherwise an earlier file
    // is never overwritten.
    if (!append && Exists(folder_ / name)) {
        int suffix = 1;
        for (; suffix <= kMaxNameSuffix; ++suffix) {
            name = base + "(" + FormatInt(suffix) + ").csv";
            if (!Exists(folder_ / name)) break;
        }
        if (suffix > kMaxNameSuffix) name = "FilenameError.csv";
    }
    lastName_ = name;
    lastPath_ = folder_ / name;
    return name;
}

int CalDataFile::WriteText(const std::filesystem::path& path, const std::string& text,
                           bool append) const {
    const std::filesystem::path& target = path.empty() ? lastPath_ : path;
    if (target.empty()) return 1;
    File file(std::fopen(target.c_str(), append ? "ab" : "wb"));
    if (!file) return 1;
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    const bool closed = std::fclose(file.release()) == 0;
    return written && closed ? 0 : 1;
}

int CalDataFile::WriteCalibrationFile(const std::filesystem::path& path, const DeviceRecord& record,
                                      const CalFitWorkspace& workspace, bool append, int axis) {
    if (axis != kAxisA && axis != kAxisB) return 1;
    std::array<ReportFace, 2> faces;
    for (int f = kAxisA; f <= kAxisB; ++f) {
        ReportFace& face = faces[static_cast<std::size_t>(f)];
        for (int k = 0; k < n_; ++k) {
            face.swingRight[static_cast<std::size_t>(k)] =
                workspace.CalibratedMain(f, kFirstSweep, k);
            face.swingLeft[static_cast<std::size_t>(k)] =
                workspace.CalibratedMain(f, kReturnSweep, k);
        }
        face.withMean = true;
        face.withError = f == axis;
        face.crossAngle = CrossAngleDegrees(workspace.crossLinear(f));
        // Companion readings at both ends of the sweeps, through the other axis.
        const int last = n_ - 1;
        const double s = std::fabs(workspace.CalibratedCompanion(f, kFirstSweep, 0)) +
                         std::fabs(workspace.CalibratedCompanion(f, kReturnSweep, 0)) +
                         std::fabs(workspace.CalibratedCompanion(f, kFirstSweep, last)) +
                         std::fabs(workspace.CalibratedCompanion(f, kReturnSweep, last));
        face.calibratedCross = CrossAngleDegrees(s * 0.25 * 2.0);
        face.coefficients = workspace.coefficientsOf(f);
        face.crossLinear = workspace.crossLinear(f);
        face.crossQuadratic = workspace.crossQuadratic(f);
    }
    return WriteText(
        path, RenderCalibrationFile(record, axis, n_, NominalAngles(tiltRange_), faces, now_()),
        append);
}

int CalDataFile::WriteTestFile(const std::filesystem::path& path, const DeviceRecord& record,
                               bool append, int axis) {
    if (axis != kAxisA && axis != kAxisB) return 1;
    std::array<ReportFace, 2> faces;
    for (int f = kAxisA; f <= kAxisB; ++f) {
        ReportFace& face = faces[static_cast<std::size_t>(f)];
        const bool isA = f == kAxisA;
        // A test run stores calibrated values: they are reported as they are.
        face.swingRight = isA ? record.aFirstMain : record.bFirstMain;
        face.swingLeft = isA ? record.aReturnMain : record.bReturnMain;
        face.withMean = face.withError = f == axis;
        face.crossAngle = CrossAngleDegrees(isA ? record.aCrossLinear : record.bCrossLinear);
        face.calibratedCross = 0.0;
        face.coefficients = isA ? record.a : record.b;
        face.crossLinear = isA ? record.aCrossLinear : record.bCrossLinear;
        face.crossQuadratic = isA ? record.aCrossQuadratic : record.bCrossQuadratic;
    }
    return WriteText(
        path, RenderCalibrationFile(record, axis, n_, NominalAngles(tiltRange_), faces, now_()),
        append);
}

int CalDataFile::ReadCalibrationConstants(const std::filesystem::path& path, DeviceRecord& record) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return kConstantsCannotOpen;
    ByteLineReader reader(file.get(), kConstantsLineBytes);
    std::string line;
    bool found = false;
    while (!found && reader.readLine(line))
        found = line.find("Calibration Constants") != std::string::npos;
    if (!found) return kConstantsNotFound;

    record.constantsFromFile = true;
    // A file with axis A only leaves B as the identity.
    record.b = {0.0, 1.0, 0.0, 0.0, 0.0, 0.0};
    record.bCrossLinear = record.bCrossQuadratic = 0.0;
    if (!reader.readLine(line)) return kConstantsCutShort;

    // Where each line's value goes, in the order of kConstantsLines (null for
    // the axis titles).
    double* const values[] = {
        nullptr,      &record.a[0],         &record.a[1],
        &record.a[2], &record.aCrossLinear, &record.aCrossQuadratic,
        &record.a[3], &record.a[4],         &record.a[5],
        nullptr,      &record.b[0],         &record.b[1],
        &record.b[2], &record.bCrossLinear, &record.bCrossQuadratic,
        &record.b[3], &record.b[4],         &record.b[5],
    };
    int count = 1;
    bool haveLine = true;
    for (size_t i = 0; i < std::size(kConstantsLines); ++i) {
        while (haveLine && line.empty()) haveLine = reader.readLine(line);
        if (!haveLine || line.find(kConstantsLines[i]) == std::string::npos) break;
        if (values[i] != nullptr && !ConstantValue(line, *values[i])) break;
        ++count;
        haveLine = reader.readLine(line);
    }
    return count;
}

std::string ConstantsReadProblem(int result) {
    switch (result) {
        case kConstantsCannotOpen:
            return "it cannot be opened, or its constants section lacks its \"Axis A\" line";
        case kConstantsNotFound:
            return "it holds no \"Calibration Constants\" section";
        case kConstantsCutShort:
            return "it ends right after its \"Calibration Constants\" title";
        default:
            break;
    }
    if (result < 1 || result > static_cast<int>(std::size(kConstantsLines))) return {};
    const std::string name = kConstantsLines[result - 1];
    return "its constants stop at \"" + name + "\": that line is missing, out of order" +
           (name.rfind("Axis", 0) == 0 ? std::string() : std::string(" or holds no number"));
}

}  // namespace clinora::calib
