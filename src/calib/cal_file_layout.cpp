#include "calib/cal_file_layout.h"

#include <cmath>
#include <cstdlib>

#include "calib/byte_lines.h"
#include "link/file_constants.h"
#include "link/number_text.h"

namespace clinora::calib {

namespace {

// The report's degree conversions take pi as 3.1415927386 (the fit uses the
// exact value).
constexpr double kReportRadiansPerDegree = 0.017453292992222223;
constexpr double kReportDegreesPerRadian = 57.2957779626821;

const char* AxisName(int axis) { return axis == kAxisA ? "A Axis" : "B Axis"; }

std::string Date2(const LocalDateTime& t, int yearDigits) {
    const int year = yearDigits == 2 ? t.year % 100 : t.year;
    return FormatInt(t.month, 2) + "/" + FormatInt(t.day, 2) + "/" + FormatInt(year, yearDigits) +
           "," + FormatInt(t.hour, 2) + ":" + FormatInt(t.minute, 2) + ":" + FormatInt(t.second, 2);
}

class Renderer {
public:
    Renderer(const DeviceRecord& record, int axis, int n) : record_(record), axis_(axis), n_(n) {}

    std::string text;

    void Line(const std::string& line) { AppendLine(text, line); }

    void Placeholders(int otherAxis) {
        const std::string line = std::string(AxisName(otherAxis)) + ",-- --,-,0.0,0.0";
        for (int i = 0; i < n_; ++i) Line(line);
    }

    // Rows of one sweep from the lowest angle to the highest. `returnSweep`
    // picks the sweep; labels and row numbers follow the order of acceptance.
    void DataRows(bool returnSweep) {
        for (int i = 1; i <= n_; ++i) {
            const int entry = returnSweep ? n_ + i : n_ + 1 - i;
            const int number = returnSweep ? i : n_ + i;
            const int slot = n_ - i;
            double a, b;
            if (axis_ == kAxisA) {
                a = (returnSweep ? record_.aReturnMain : record_.aFirstMain)[slot];
                b = (returnSweep ? record_.aReturnCompanion : record_.aFirstCompanion)[slot];
            } else {
                a = (returnSweep ? record_.bReturnCompanion : record_.bFirstCompanion)[slot];
                b = (returnSweep ? record_.bReturnMain : record_.bFirstMain)[slot];
            }
            Line(Label(entry) + "," + FormatInt(number) + "," + FormatFixed(a, 6) + "," +
                 FormatFixed(b, 6));
        }
    }

    void FaceRows(const ReportFace& face, const NominalAngleTable& angles) {
        for (int k = 0; k < n_; ++k) {
            const double angle = angles.degrees[static_cast<std::size_t>(k)];
            const double right = face.swingRight[static_cast<std::size_t>(k)];
            const double left = face.swingLeft[static_cast<std::size_t>(k)];
            const double mean = face.withMean ? (right + left) * 0.5 : 0.0;
            const double truth = std::sin(angle * kReportRadiansPerDegree);
            const double error = face.withError ? truth - mean : 0.0;
            std::string line = FormatInt(static_cast<int>(std::fabs(angle))) + ",";
            if (k < n_ / 2) line += "L";
            if (k > n_ / 2) line += "R";
            line += ",";
            const double values[] = {0.0, right, left, mean, truth, error};
            for (int v = 0; v < 6; ++v) {
                if (v > 0) line += ",";
                line += FormatFixed(values[v], 6, true);
            }
            Line(line);
        }
    }

private:
    // A label list shorter than the run (constants read from a file) cannot
    // name the row: such rows get the placeholder position label.
    std::string Label(int entry) const {
        if (entry < static_cast<int>(record_.labels.size()))
            return record_.labels[static_cast<std::size_t>(entry)];
        return std::string(AxisName(axis_)) + ",-- --";
    }

    const DeviceRecord& record_;
    int axis_;
    int n_;
};

void Constants(Renderer& r, const char* axisLine, char letter, const ReportFace& face) {
    const auto term = [&](int i) {
        return std::string(1, letter) + FormatInt(i) + "," +
               FormatFileConstant(face.coefficients[static_cast<std::size_t>(i)]);
    };
    r.Line(axisLine);
    r.Line(term(0));
    r.Line(term(1));
    r.Line(term(2));
    r.Line("Cross Axis," + FormatFileConstant(face.crossLinear));
    r.Line("Cross Axis X2," + FormatFileConstant(face.crossQuadratic));
    r.Line(term(3));
    r.Line(term(4));
    r.Line(term(5));
}

}  // namespace

double CrossAngleDegrees(double crossLinear) {
    return std::atan(crossLinear) * kReportDegreesPerRadian;
}

std::string RenderCalibrationFile(const DeviceRecord& record, int axis, int positions,
                                  const NominalAngleTable& angles,
                                  const std::array<ReportFace, 2>& faces,
                                  const LocalDateTime& now) {
    Renderer r(record, axis, positions);
    r.Line("ZOV Orvano Calibration Data");
    r.Line("Calibration Version,1");
    r.Line("Device Address," + FormatInt(record.addressNumber));
    r.Line("Calibration Date(m/d/y)," + Date2(now, 2));
    r.Line("");
    r.Line("Prompt1,Prompt2,#,ReadingA,ReadingB");
    r.Line("");

    // Both data blocks run from the lowest angle to the highest; the placeholder
    // blocks stand for the other axis's faces.
    if (axis == kAxisA) {
        r.Placeholders(kAxisB);
        r.DataRows(true);
        r.Placeholders(kAxisB);
        r.DataRows(false);
    } else {
        r.DataRows(true);
        r.Placeholders(kAxisA);
        r.DataRows(false);
        r.Placeholders(kAxisA);
    }

    r.Line("");
    r.Line("");
    r.Line("Calculated Calibration Data :,,," + Date2(now, 4));
    r.Line("");
    for (int face = kAxisA; face <= kAxisB; ++face) {
        const ReportFace& f = faces[static_cast<std::size_t>(face)];
        if (face == kAxisB) r.Line("");
        r.Line(face == kAxisA ? "Face,A+/-" : "Face,B+/-");
        r.Line("Frame,,Cross,Deviation,Deviation,Mean,True,");
        r.Line(face == kAxisA ? "Angle,,Axis B,Swing Right,Swing Left,Deviation,Deviation,Error"
                              : "Angle,,Axis A,Swing Right,Swing Left,Deviation,Deviation,Error");
        r.FaceRows(f, angles);
        r.Line("Cross Axis (Degrees):,," + FormatFixed(f.crossAngle, 6));
        r.Line("Cross Axis Calibrated (Degrees):,," + FormatFixed(f.calibratedCross, 6));
    }
    r.Line("");
    r.Line("Calibration Constants :");
    Constants(r, "Axis A", 'A', faces[0]);
    Constants(r, "Axis B", 'B', faces[1]);
    return std::move(r.text);
}

}  // namespace clinora::calib
