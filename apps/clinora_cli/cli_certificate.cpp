// clinora-cli certificate: calibration certificates (PDF and DCC XML) from
// the records of a board's calibration and the test of it.
#include <chrono>

#include "cli_commands.h"
#include "records/certificate_dcc.h"
#include "records/certificate_from_records.h"

namespace clinora::cli {

namespace {

using records::RecordStore;

// "\n" typed on a command line as two characters is a line break.
std::string Lines(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text;
}

records::PairPlan Plan(const CliOptions& options, CliIo& io) {
    records::CertificateRequest request;
    if (!options.record.empty()) request.records = {options.record};
    request.serial = options.serial;
    request.latest = options.latest;
    records::PairPlan plan;
    if (auto store = OpenForReading(options, io)) plan = records::PlanPairs(*store, request);
    // Records of other stations are on the history server only.
    if (plan.pairs.empty() && !options.historyServer.empty())
        plan = records::PlanPairs(
            *RecordStore::OpenServer(options.historyServer, kServerTimeoutSeconds), request);
    return plan;
}

}  // namespace

int RunCertificate(const CliOptions& options, CliIo& io) {
    CertificateFormat format = options.certificateFormat;
    if (!io.writePdf) {
        if (options.certificateFormatGiven && format != CertificateFormat::Dcc)
            return Fail(io,
                        "this clinora-cli was built without the user interface and cannot render "
                        "PDF; --format dcc writes the XML certificate",
                        kExitUsage);
        format = CertificateFormat::Dcc;
    }
    const records::PairPlan plan = Plan(options, io);
    for (const std::string& refusal : plan.refusals) io.err << refusal << std::endl;
    if (plan.pairs.empty()) return Fail(io, "no certificate issued");

    const std::filesystem::path folder =
        options.outFolder.empty() ? WorkingFolder(options) / "certificates"
                                  : std::filesystem::path(options.outFolder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder))
        return Fail(io, "cannot make the folder " + folder.string());

    records::CertificateParties parties;
    parties.laboratory.name = options.laboratory;
    parties.laboratory.address = Lines(options.laboratoryAddress);
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    int issued = 0;
    bool failed = false;
    for (const records::RecordPair& pair : plan.pairs) {
        const records::CertificateBuild built = records::CertificateOfRecords(parties, pair, now);
        if (!built.certificate) {
            io.err << built.error << std::endl;
            continue;
        }
        const records::Certificate& c = *built.certificate;
        const std::filesystem::path stem = folder / records::CertificateFileStem(c);
        std::string error;
        std::vector<std::string> written;
        if (format != CertificateFormat::Dcc) {
            if (io.writePdf(c, stem.string() + ".pdf", &error))
                written.push_back(stem.string() + ".pdf");
        }
        if (error.empty() && format != CertificateFormat::Pdf) {
            if (records::SaveDcc(c, stem.string() + ".xml", &error))
                written.push_back(stem.string() + ".xml");
        }
        if (!error.empty()) {
            failed = true;
            Fail(io, "the certificate of " + records::BoardName(pair.calibration) +
                         " was not written: " + error);
            continue;
        }
        ++issued;
        io.out << c.item.serialNumber << " " << c.number << " "
               << (c.conforms ? "pass" : "FAIL: " + c.statement) << '\n';
        for (const std::string& path : written) io.out << "  " << path << '\n';
    }
    if (issued == 0 && !failed) return Fail(io, "no certificate issued");
    return failed || issued == 0 ? kExitFailure : kExitOk;
}

}  // namespace clinora::cli
