#include "records/certificate_builder.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "calib/nominal_angles.h"
#include "calib/prompt_walk.h"
#include "link/number_text.h"
#include "product_version.h"
#include "records/digest.h"

namespace clinora::records {

namespace {

std::string OrDefault(const std::string& text, const char* fallback) {
    const std::string clean = CleanText(text);
    return clean.find_first_not_of(" \t\n") == std::string::npos ? fallback : clean;
}

std::string CountryCode(const std::string& text) {
    std::string code;
    for (char c : text)
        if (c != ' ') code += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const bool valid =
        code.size() == 2 && code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z';
    return valid ? code : kUnknownCountry;
}

CertificateContact Contact(const CertificateContact& given, const char* defaultName) {
    return {OrDefault(given.name, defaultName), OrDefault(given.address, kNotStated),
            OrDefault(given.email, kNotStated), CleanText(given.city),
            CountryCode(given.countryCode)};
}

CertificateFile File(const CertificateFile& given) {
    return {OrDefault(given.name, kNotStated), OrDefault(given.sha256, kNotStated)};
}

CertificateRow Judge(const TestRowInput& in, int number) {
    CertificateRow row;
    row.number = number;
    row.label = CleanText(in.label);
    row.firstSweep = in.firstSweep;
    row.angle = in.angle;
    row.expected = std::sin(in.angle * std::numbers::pi / 180.0);
    row.reading = in.reading;
    row.deviation = in.reading - row.expected;
    row.hasLimits = in.low < in.high;
    if (row.hasLimits) {
        row.lowLimit = in.low - row.expected;
        row.highLimit = in.high - row.expected;
    }
    // The Test page's own rule: inside when low < reading < high.
    row.pass = row.hasLimits && calib::WithinLimits(in.reading, in.low, in.high);
    return row;
}

}  // namespace

CertificateBuild BuildCertificate(const CertificateParties& parties,
                                  const CalibrationInput& calibration, const TestInput& test,
                                  int64_t issueTime) {
    const std::string board = "board " + OrDefault(calibration.serialNumber, "(no serial number)") +
                              " at address " + OrDefault(calibration.busAddress, "?");
    if (calibration.recordId.empty() || test.recordId.empty())
        return {std::nullopt, "No certificate for " + board + ": its records have no identity"};
    if (test.rows.empty())
        return {std::nullopt, "No certificate for " + board + ": its test has no positions"};
    for (const TestRowInput& r : test.rows) {
        if (!std::isfinite(r.angle) || !std::isfinite(r.reading) || !std::isfinite(r.low) ||
            !std::isfinite(r.high))
            return {std::nullopt, "No certificate for " + board +
                                      ": its test holds a value that is not a number"};
    }
    for (float c : calibration.constants) {
        if (!std::isfinite(c))
            return {std::nullopt, "No certificate for " + board + ": a constant is not a number"};
    }

    Certificate c;
    c.number = CertificateNumber(calibration.recordId, test.recordId);
    c.calibrationRecordId = CleanText(calibration.recordId);
    c.testRecordId = CleanText(test.recordId);
    c.laboratory = Contact(parties.laboratory, kDefaultLaboratoryName);
    c.customer = Contact(parties.customer, kDefaultCustomerName);
    c.station = OrDefault(parties.station, kNotStated);
    c.operatorName = OrDefault(parties.operatorName, kNotStated);
    c.calibrationTime = calibration.time;
    c.testTime = test.time;
    c.issueTime = issueTime;

    c.item.manufacturer = OrDefault(parties.manufacturer, kDefaultManufacturer);
    c.item.serialNumber = OrDefault(calibration.serialNumber, "unknown");
    c.item.firmwareVersion = OrDefault(calibration.firmwareVersion, "unknown");
    c.item.boardRevision = OrDefault(calibration.boardRevision, "unknown");
    c.item.busAddress = OrDefault(calibration.busAddress, "unknown");
    c.item.axis = test.axis == 'B' ? 'B' : 'A';

    c.method = test.method;
    c.method.promptFile = OrDefault(test.method.promptFile, kNotStated);
    c.method.promptSha256 = OrDefault(test.method.promptSha256, kNotStated);
    c.method.hasTemperature = test.method.hasTemperature && std::isfinite(test.method.temperatureC);

    for (const TestRowInput& r : test.rows)
        c.rows.push_back(Judge(r, static_cast<int>(c.rows.size()) + 1));
    const Conformity verdict = JudgeRows(c.rows);
    c.conforms = verdict.conforms;
    c.statement = verdict.statement;

    c.constants = calibration.constants;
    c.calibrationFile = File(calibration.file);
    c.testFile = File(test.file);
    c.software = kProductName;
    c.softwareVersion = kProductVersion;
    return {std::move(c), {}};
}

std::vector<TestRowInput> TestRowsOf(const DeviceRecord& record, int axis,
                                     const std::vector<calib::PromptRow>& rows, double tiltRange) {
    const calib::NominalAngleTable angles = calib::NominalAngles(tiltRange);
    const int count = static_cast<int>(rows.size());
    const int n = count / 2;
    if (count % 2 != 0 || n < 1 || n > angles.count || n > kMaxPositions) return {};
    const bool isA = axis == 0;
    std::vector<TestRowInput> out;
    // The walk: the cursor runs from the last row down; rows 2n-1..n fill the
    // first sweep's slots 0..n-1, rows n-1..0 the return sweep's slots n-1..0.
    for (int cursor = count - 1; cursor >= 0; --cursor) {
        const bool first = cursor >= n;
        const auto k = static_cast<size_t>(first ? count - 1 - cursor : cursor);
        const calib::PromptRow& p = rows[static_cast<size_t>(cursor)];
        const PositionArray& values = isA ? (first ? record.aFirstMain : record.aReturnMain)
                                          : (first ? record.bFirstMain : record.bReturnMain);
        out.push_back({p.label, first, angles.degrees[k], values[k], isA ? p.aTestLow : p.bTestLow,
                       isA ? p.aTestHigh : p.bTestHigh});
    }
    return out;
}

CertificateFile DescribeFile(const std::filesystem::path& path) {
    return {path.filename().string(), Sha256OfFile(path).value_or("")};
}

BoardConstants ConstantsOf(const DeviceRecord& record, int axis) {
    const bool isA = axis == 0;
    const auto& c = isA ? record.a : record.b;
    const double linear = isA ? record.aCrossLinear : record.bCrossLinear;
    const double quadratic = isA ? record.aCrossQuadratic : record.bCrossQuadratic;
    // A value beyond single precision would not survive the cast; it stays
    // not a number, which BuildCertificate refuses.
    auto single = [](double v) {
        return FitsFloat(v) ? static_cast<float>(v) : std::numeric_limits<float>::quiet_NaN();
    };
    return {single(c[0]),      single(c[1]), single(c[2]), single(linear),
            single(quadratic), single(c[3]), single(c[4]), single(c[5])};
}

}  // namespace clinora::records
