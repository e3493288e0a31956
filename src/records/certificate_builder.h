#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "calib/prompt_file.h"
#include "link/device_record.h"
#include "records/certificate.h"

namespace clinora::records {

// The station's side of a certificate (from the settings). Empty fields get
// the documented defaults of certificate.h.
struct CertificateParties {
    CertificateContact laboratory;
    CertificateContact customer;
    std::string manufacturer;
    std::string station;
    std::string operatorName;
};

// What the calibration of one board left: its record, identity, constants and file.
struct CalibrationInput {
    std::string recordId;
    int64_t time = 0;  // seconds since 1970
    std::string serialNumber, firmwareVersion, boardRevision, busAddress;
    BoardConstants constants{};
    CertificateFile file;
};

// One prompted position of the test as the Test page stored it.
struct TestRowInput {
    std::string label;
    bool firstSweep = true;
    double angle = 0;                // degrees
    double reading = 0;              // calibrated reading (sine)
    double low = -1.0, high = -1.0;  // the prompt row's test limits of the reading
};

// What the calibration test of the board left.
struct TestInput {
    std::string recordId;
    int64_t time = 0;
    char axis = 'A';
    CertificateMethod method;
    std::vector<TestRowInput> rows;  // in the order prompted
    CertificateFile file;
};

struct CertificateBuild {
    std::optional<Certificate> certificate;
    std::string error;  // why there is none, naming the board
};

// The certificate of one board: texts cleaned, defaults filled in, every row
// judged against its limits and the statement of conformity made.
CertificateBuild BuildCertificate(const CertificateParties& parties,
                                  const CalibrationInput& calibration, const TestInput& test,
                                  int64_t issueTime);

// The rows of a test as the Test page leaves them in a board's record: the
// values of `axis` (0 = A, 1 = B) at every prompted position, with the prompt
// rows' labels and test limits and the angles of `tiltRange`. Empty when the
// prompt rows cannot have driven a walk of that range.
std::vector<TestRowInput> TestRowsOf(const DeviceRecord& record, int axis,
                                     const std::vector<calib::PromptRow>& rows, double tiltRange);

// A file as a certificate names it: its name and the SHA-256 of its content
// (empty when it cannot be read, which the certificate shows as not stated).
CertificateFile DescribeFile(const std::filesystem::path& path);

// The constants of `axis` in a record, rounded to single precision as the
// board holds them.
BoardConstants ConstantsOf(const DeviceRecord& record, int axis);

}  // namespace clinora::records
