// Certificates from the end-to-end calibration and test of three simulated
// boards: the PDF's text, the DCC XML and the test files agree row by row;
// and a failed board with hostile texts reads plainly.
#include "gui/certificate_pdf.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cal_rig.h"
#include "calib/prompt_file.h"
#include "certificate_sample.h"
#include "dcc_check.h"
#include "link/number_text.h"
#include "records/certificate_dcc.h"
#include "records/certificate_digest.h"
#include "sim/board_config.h"

namespace clinora {
namespace {

using records::Certificate;
using testing::CalRig;
using testing::Words;

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The output of a poppler tool on `pdf` (written to a file first); empty
// when the tool fails.
std::string Poppler(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput().toStdString();
}

std::string ArtifactPath(const std::string& name) {
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    return std::string(CLINORA_ARTIFACT_DIR) + "/" + name;
}

// Renders the certificate into the artifacts folder and returns the text of
// its pages (pdftotext -layout).
std::vector<std::string> PdfPages(const Certificate& c, const std::string& name) {
    const std::string pdf = ArtifactPath(name + ".pdf");
    QString error;
    EXPECT_TRUE(SaveCertificatePdf(c, QString::fromStdString(pdf), &error)) << error.toStdString();
    const std::string text = Poppler("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    std::vector<std::string> pages;
    std::stringstream split(text);
    for (std::string page; std::getline(split, page, '\f');)
        if (!page.empty()) pages.push_back(page);
    // Page 1 as a picture, to look at.
    Poppler("pdftoppm", {"-png", "-r", "70", "-f", "1", "-l", "1", "-singlefile",
                         QString::fromStdString(pdf), QString::fromStdString(ArtifactPath(name))});
    return pages;
}

bool HavePoppler() {
    return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
           !QStandardPaths::findExecutable("pdftoppm").isEmpty();
}

// The data rows of an axis A test file: row number -> label and A reading text.
struct FileRow {
    std::string label, reading;
};
std::map<int, FileRow> TestFileRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::map<int, FileRow> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
        if (cells.size() == 5 && cells[0] == "A Axis" && cells[2] != "-")
            rows[ParseLeadingInt(cells[2], 0)] = {cells[1], cells[3]};
    }
    return rows;
}

std::string FileOf(const CalRig& rig, const std::string& prefix) {
    for (const auto& e : std::filesystem::directory_iterator(rig.dir.path().toStdString()))
        if (e.path().filename().string().rfind(prefix, 0) == 0) return e.path().string();
    return {};
}

TEST(Certificates, TheEndToEndCalibrationGivesCertificatesThatAgreeWithItsTestFiles) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are needed";
    CalRig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    std::array<int64_t, 3> calibrated{};
    for (int b = 0; b < 3; ++b) calibrated[b] = rig.session.devices[b].calibrationTime;
    rig.sheet->selectPage(CalRig::kTest);
    rig.copies.rangeErrorCalTest = 0.003;
    rig.walkAllPositions();
    rig.runFor(1000);

    const std::string folder = rig.dir.path().toStdString() + "/";
    std::vector<calib::PromptRow> prompts;
    calib::ReadPromptFile(folder + "CalPrompts.csv", prompts);
    const SharedData shared = rig.shared();
    QElapsedTimer clock;
    clock.start();
    std::vector<Certificate> certificates;
    std::vector<std::string> xmls;
    for (int b = 0; b < 3; ++b) {
        const std::string address = shared.currentAddresses[b];
        const sim::BoardConfig board = sim::VariedBoard(address, 11 + b);
        const DeviceRecord& record = rig.session.devices[b];
        const std::string calFile = FileOf(rig, "00" + address + "_CAL_DATA_AXIS_A_0");
        const std::string testFile = FileOf(rig, "00" + address + "_CAL_DATA_AXIS_A_TEST_");
        records::CalibrationInput cal{"cal-" + board.serial,
                                      calibrated[b],
                                      board.serial,
                                      FormatGeneral(board.firmware, 6),
                                      FormatGeneral(board.revision, 6),
                                      address,
                                      records::ConstantsOf(record, 0),
                                      {std::filesystem::path(calFile).filename().string(),
                                       records::FileSha256Hex(calFile).value_or("")}};
        records::TestInput test{
            "test-" + board.serial,
            record.calibrationTime,
            'A',
            {"CalPrompts.csv", records::FileSha256Hex(folder + "CalPrompts.csv").value_or(""), 15,
             0, true, shared.readings.boards[b].temperature},
            records::TestRowsOf(record, 0, prompts, 15),
            {std::filesystem::path(testFile).filename().string(),
             records::FileSha256Hex(testFile).value_or("")}};
        const records::CertificateBuild built = records::BuildCertificate(
            {{"Metrology Lab North", "Industriestrasse 4", "lab@example.org", "", "DE"},
             {},
             "",
             "CAL-STATION-2",
             "A. Technician"},
            cal, test, record.calibrationTime + 60);
        ASSERT_TRUE(built.certificate) << built.error;
        certificates.push_back(*built.certificate);
        xmls.push_back(records::WriteDcc(certificates.back()));
        ASSERT_EQ(RenderCertificatePdf(certificates.back()).left(8), "%PDF-1.4");
    }
    std::printf("three certificates (PDF and XML) built in %lld ms\n",
                static_cast<long long>(clock.elapsed()));

    // Board 1: its PDF and XML stay among the artifacts.
    const Certificate& c = certificates[0];
    EXPECT_TRUE(c.conforms) << c.statement;
    const std::string stem = records::CertificateFileStem(c);
    ASSERT_TRUE(records::SaveDcc(c, ArtifactPath(stem + ".xml")));
    const std::vector<std::string> pages = PdfPages(c, stem);
    ASSERT_FALSE(pages.empty());
    std::vector<std::vector<std::string>> lines;
    for (const std::string& page : pages) {
        std::stringstream split(page);
        for (std::string line; std::getline(split, line);) lines.push_back(Words(line));
    }
    const std::string text = Joined(Words(Joined(pages)));
    for (const std::string& needle :
         {c.number, c.item.serialNumber, std::string("Statement of conformity: PASS"), c.statement})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;

    const std::filesystem::path schema = testing::DccSchemaFolder();
    if (schema.empty()) {
        std::printf("%s\n", testing::DccSchemaSearchNote().c_str());
    } else {
        for (const std::string& xml : xmls)
            EXPECT_EQ(testing::DccSchemaErrors(xml, schema), std::vector<std::string>{});
    }
    const auto readings = testing::DccList(
        xmls[0], "//dcc:result[1]//dcc:list/dcc:quantity[3]/si:realListXMLList/si:valueXMLList");
    const auto verdicts = testing::DccList(xmls[0], "//dcc:conformityXMLList");

    // The test file numbers its rows return sweep first, each sweep from the
    // lowest angle up; the certificate keeps the order prompted.
    const std::map<int, FileRow> fileRows =
        TestFileRows(FileOf(rig, "00101_CAL_DATA_AXIS_A_TEST_"));
    const int n = 7;
    ASSERT_EQ(fileRows.size(), 2u * n);
    ASSERT_EQ(readings.size(), 2u * n);
    for (const auto& [fileNumber, fileRow] : fileRows) {
        const int number = fileNumber <= n ? n + fileNumber : 2 * n - fileNumber + 1;
        const records::CertificateRow& row = c.rows[static_cast<size_t>(number - 1)];
        SCOPED_TRACE("test file row " + std::to_string(fileNumber));
        EXPECT_EQ(row.label, fileRow.label);
        EXPECT_EQ(row.label, (row.angle > 0 ? "+" : "") + records::AngleText(row.angle) + " deg");
        EXPECT_EQ(records::SineText(row.reading), fileRow.reading);
        EXPECT_EQ(readings[static_cast<size_t>(number - 1)], fileRow.reading);
        EXPECT_EQ(verdicts[static_cast<size_t>(number - 1)], row.pass ? "pass" : "fail");
        std::vector<std::string> expect = {std::to_string(number)};
        for (const auto& w : Words(row.label)) expect.push_back(w);
        for (const std::string& w :
             {std::string(row.firstSweep ? "first" : "return"), records::AngleText(row.angle),
              records::SineText(row.expected), fileRow.reading, records::SineText(row.deviation),
              records::LimitText(row), std::string(row.pass ? "pass" : "fail")})
            expect.push_back(w);
        EXPECT_NE(std::find(lines.begin(), lines.end(), expect), lines.end()) << Joined(expect);
    }
}

TEST(Certificates, AFailedBoardWithHostileTextsReadsPlainly) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are needed";
    const std::string lab = "Labor <Nord> & \"Söhne\" ]]> Μετρολογία";
    const std::string op = "O'Brien & <Прибор>";
    const std::string label = "+5 deg <x/> & ]]>";
    auto sample = testing::MakeCertificateSample({{3, 0.0041}, {12, -0.005}});
    sample.parties.laboratory.name = lab;
    sample.parties.operatorName = op;
    sample.test.rows[2].label = label;
    const Certificate c = sample.build();
    const std::vector<std::string> pages = PdfPages(c, "certificate-failed-board");
    ASSERT_GE(pages.size(), 2u);
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string page = Joined(Words(pages[i]));
        for (const std::string& needle :
             {std::string("Calibration Certificate"), c.number,
              "page " + std::to_string(i + 1) + " of " + std::to_string(pages.size())})
            EXPECT_NE(page.find(needle), std::string::npos) << "page " << i + 1 << ": " << needle;
    }
    const std::string text = Joined(Words(Joined(pages)));
    for (const std::string& needle :
         {lab, op, label, std::string("Statement of conformity: FAIL"),
          std::string("This board did not meet its test limits."),
          std::string("position 3 (" + label + ", first sweep), deviation 0.004100"),
          std::string("position 12 (+5 deg, return sweep), deviation -0.005000")})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
    EXPECT_NE(text.find("3 " + label + " first 5 0.087156 0.091256 0.004100 \u00b10.003000 fail"),
              std::string::npos);
}

}  // namespace
}  // namespace clinora
