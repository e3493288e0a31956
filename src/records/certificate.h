#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clinora::records {

// What a calibration certificate states about one board: who calibrated it,
// what it is, how it was tested, the result at every prompted position with
// its verdict, and where the raw data lies. Built once by BuildCertificate
// (certificate_builder.h), which also judges every row; the PDF and the DCC
// XML only render it, so the two can never disagree.

inline constexpr const char* kItemDescription = "two-axis tilt sensor board";
inline constexpr const char* kWithinLimitsStatement = "Within limits at every position";

// Defaults for the parties a station has not configured. The DCC needs a
// name, an e-mail and a location for the laboratory and the customer; a
// station that has not set them says so instead of inventing them. "ZZ" is
// the ISO 3166 code for an unstated country.
inline constexpr const char* kDefaultLaboratoryName = "Calibration laboratory";
inline constexpr const char* kDefaultCustomerName = "Customer not stated";
inline constexpr const char* kNotStated = "not stated";
inline constexpr const char* kUnknownCountry = "ZZ";
inline constexpr const char* kDefaultManufacturer = "ZOV Instruments";

// A laboratory or a customer. Address is free text, one line per line.
struct CertificateContact {
    std::string name;
    std::string address;
    std::string email;
    std::string city;
    std::string countryCode;  // two capital letters (ISO 3166-1)
};

struct CertificateItem {
    std::string description = kItemDescription;
    std::string manufacturer = kDefaultManufacturer;
    std::string serialNumber;
    std::string firmwareVersion;
    std::string boardRevision;
    std::string busAddress;
    char axis = 'A';  // the axis calibrated and tested
};

struct CertificateMethod {
    std::string promptFile;
    std::string promptSha256;
    double tiltRange = 15;  // degrees either side of level
    int averaging = 0;      // readings in the running mean; 0 when averaging was off
    bool hasTemperature = false;
    double temperatureC = 0;  // the boards' mean temperature during the test
};

// One prompted position of the test, in the order the positions were prompted.
struct CertificateRow {
    int number = 0;  // 1, 2, ... in the order prompted
    std::string label;
    bool firstSweep = true;
    double angle = 0;      // prompted fixture angle, degrees
    double expected = 0;   // sine of the angle
    double reading = 0;    // the board's calibrated reading (sine)
    double deviation = 0;  // reading - expected
    // The test limits of the row as deviations from the expected value; both
    // 0 when the prompt row has none (then nothing lies inside them).
    double lowLimit = 0, highLimit = 0;
    bool hasLimits = false;
    bool pass = false;
};

// The eight constants of the calibrated axis as the board holds them (single
// precision), in the order of the calibration data file: X0, X1, X2,
// Cross Axis, Cross Axis X2, X3, X4, X5.
using BoardConstants = std::array<float, 8>;
inline constexpr std::array<const char*, 8> kConstantNames = {
    "0", "1", "2", "Cross Axis", "Cross Axis X2", "3", "4", "5"};
// "A0", "Cross Axis", "B5" ...: the name of constant i of an axis as the files write it.
std::string ConstantName(char axis, int i);
// The unit of constant i: the polynomial takes the reading in volts to the
// sine, so X<k> is per volt to the k; the cross-axis terms relate volts to
// volts. As D-SI ("\volt\tothe{-1}") and for people ("V⁻¹").
std::string ConstantUnitDsi(int i);
std::string ConstantUnitText(int i);

struct CertificateFile {
    std::string name;
    std::string sha256;
};

struct Certificate {
    std::string number;  // CertificateNumber of the two records
    std::string calibrationRecordId, testRecordId;
    CertificateContact laboratory, customer;
    std::string station;
    std::string operatorName;
    int64_t calibrationTime = 0;  // seconds since 1970 (UTC)
    int64_t testTime = 0;
    int64_t issueTime = 0;
    CertificateItem item;
    CertificateMethod method;
    std::vector<CertificateRow> rows;
    bool conforms = false;  // every row passed
    std::string statement;  // kWithinLimitsStatement or the positions outside the limits
    BoardConstants constants{};
    CertificateFile calibrationFile, testFile;
    std::string software, softwareVersion;  // the program that issued it
};

// The judgement of the rows: whether all passed and the statement of
// conformity naming every position outside its limits. The one place a
// certificate's verdict is made.
struct Conformity {
    bool conforms = false;
    std::string statement;
};
Conformity JudgeRows(const std::vector<CertificateRow>& rows);

// "CC-1A2B-3C4D-5E6F": the first 48 bits of the SHA-256 of the two record
// identities, so the same records always give the same number.
std::string CertificateNumber(const std::string& calibrationRecordId,
                              const std::string& testRecordId);

// "<serial>_<date of calibration>_<number>", made safe as a file name: only
// letters, digits, '-', '_' and '.' are kept, never a leading dot.
std::string CertificateFileStem(const Certificate& certificate);

// Text as it can go into a certificate: valid UTF-8 without control
// characters (a line break and a tab stay); anything else becomes U+FFFD.
std::string CleanText(const std::string& text);

// How the renderers write the numbers, so that the PDF and the XML agree.
std::string AngleText(double degrees);  // "15", "-2.5"
std::string SineText(double value);     // "0.258819" (six decimals, as the files)
std::string ConstantText(float value);  // nine significant digits: the float exactly
// "2024-03-05" and "2024-03-05 09:07 UTC" of seconds since 1970.
std::string IsoDate(int64_t seconds);
std::string IsoDateTime(int64_t seconds);
// The certificate's view of a row's limits: "±0.003000", "-0.002000 / +0.004000"
// or "none".
std::string LimitText(const CertificateRow& row);
// "+15 deg, first sweep" style name of a position for statements.
std::string PositionName(const CertificateRow& row);
// "24.8 °C"
std::string TemperatureText(double celsius);
// "running mean of 10 readings" or "none (single readings)".
std::string AveragingText(int averaging);

}  // namespace clinora::records
