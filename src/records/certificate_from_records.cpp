#include "records/certificate_from_records.h"

#include <limits>

#include "link/number_text.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

// The eight constants of an axis in the order the certificate lists them.
BoardConstants AxisConstants(const ConstantSet& set, bool axisA) {
    const auto& c = axisA ? set.a : set.b;
    const double linear = axisA ? set.aCrossLinear : set.bCrossLinear;
    const double quadratic = axisA ? set.aCrossQuadratic : set.bCrossQuadratic;
    BoardConstants out{};
    const double ordered[] = {c[0], c[1], c[2], linear, quadratic, c[3], c[4], c[5]};
    // A value beyond single precision stays not a number, which the builder refuses.
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = FitsFloat(ordered[i]) ? static_cast<float>(ordered[i])
                                       : std::numeric_limits<float>::quiet_NaN();
    return out;
}

// A record keeps a position's label as the files' two cells, "A Axis,+15 deg";
// the certificate names the position only.
std::string PositionLabel(const std::string& label) {
    const size_t comma = label.find(',');
    const bool axisCell = comma != std::string::npos && label.compare(1, comma - 1, " Axis") == 0;
    return axisCell ? label.substr(comma + 1) : label;
}

std::string Given(const std::string& text) { return text == kUnknown ? std::string() : text; }

}  // namespace

CertificateBuild CertificateOfRecords(CertificateParties parties, const RecordPair& pair,
                                      int64_t issueTime) {
    const Record& cal = pair.calibration;
    const Record& test = pair.test;
    const std::string none = "No certificate for " + BoardName(cal) + ": ";
    if (cal.kind != RecordKind::Calibration || test.kind != RecordKind::Test)
        return {std::nullopt, none + "a calibration and a test record are needed"};
    if (cal.axis != test.axis)
        return {std::nullopt, none + "its test was of axis " + test.axis +
                                  ", its calibration of axis " + cal.axis};
    const std::optional<ConstantSet>& set = cal.constantsSingle ? cal.constantsSingle : cal.constants;
    if (!set) return {std::nullopt, none + "its calibration record holds no constants"};
    const bool axisA = cal.axis != "B";

    parties.station = cal.station;
    parties.operatorName = cal.setup ? cal.setup->operatorName : std::string();

    CalibrationInput calibration;
    calibration.recordId = cal.uuid;
    calibration.time = EpochOfUtc(cal.time).value_or(0);
    calibration.serialNumber = Given(cal.board.serial);
    calibration.firmwareVersion = Given(cal.board.firmware);
    calibration.boardRevision = Given(cal.board.boardRevision);
    calibration.busAddress = cal.board.address;
    calibration.constants = AxisConstants(*set, axisA);
    calibration.file = {cal.file.name, cal.file.sha256};

    TestInput tested;
    tested.recordId = test.uuid;
    tested.time = EpochOfUtc(test.time).value_or(0);
    tested.axis = axisA ? 'A' : 'B';
    const RunSetup setup = test.setup.value_or(RunSetup{});
    tested.method.promptFile = setup.promptFile.name;
    tested.method.promptSha256 = setup.promptFile.sha256;
    tested.method.tiltRange = setup.tiltRange;
    tested.method.averaging = setup.averaging ? setup.averageNum : 0;
    double sum = 0;
    int temperatures = 0;
    for (const TestRow& r : test.testRows) {
        const bool limits = r.low && r.high;
        tested.rows.push_back({PositionLabel(r.label), r.sweep == Sweep::First, r.angle, r.reading,
                               limits ? *r.low : -1.0, limits ? *r.high : -1.0});
        if (r.temperature) {
            sum += *r.temperature;
            ++temperatures;
        }
    }
    tested.method.hasTemperature = temperatures > 0;
    tested.method.temperatureC = temperatures > 0 ? sum / temperatures : 0;
    tested.file = {test.file.name, test.file.sha256};
    return BuildCertificate(parties, calibration, tested, issueTime);
}

}  // namespace clinora::records
