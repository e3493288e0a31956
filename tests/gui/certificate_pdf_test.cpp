// Certificates from the end-to-end calibration and test of three simulated
// boards: the PDF's text, the DCC XML and the test files agree row by row;
// and a failed board with hostile texts reads plainly.
#include "gui/certificate_pdf.h"

#include <gtest/gtest.h>

#include <QDir>
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
#include "records/certificate_builder.h"
#include "records/certificate_dcc.h"
#include "sim/board_config.h"
#include "temp_folder.h"

namespace clinora {
namespace {

using records::Certificate;
using testing::CalRig;
using testing::Words;

// Words joined by single blanks: text compared whatever its layout.
std::string Flat(const std::string& text) {
    std::string out;
    for (const auto& w : Words(text)) out += (out.empty() ? "" : " ") + w;
    return out;
}

std::string Poppler(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput().toStdString();
}

// The text of the pages of a PDF (pdftotext -layout); page 1 also becomes a
// picture beside it, to look at.
std::vector<std::string> PdfPages(const QString& pdf) {
    Poppler("pdftoppm",
            {"-png", "-r", "70", "-f", "1", "-l", "1", "-singlefile", pdf, pdf.chopped(4)});
    std::vector<std::string> pages;
    std::stringstream split(Poppler("pdftotext", {"-layout", pdf, "-"}));
    for (std::string page; std::getline(split, page, '\f');) pages.push_back(page);
    return pages;
}

bool HavePoppler() {
    return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
           !QStandardPaths::findExecutable("pdftoppm").isEmpty();
}

// The data rows of an axis A test file: row number -> label and A reading text.
std::map<int, std::pair<std::string, std::string>> TestFileRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::map<int, std::pair<std::string, std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::stringstream split(line.substr(0, line.find('\r')));
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

    // Every board's certificate from its record, identity and files.
    const std::string folder = rig.dir.path().toStdString() + "/";
    std::vector<calib::PromptRow> prompts;
    calib::ReadPromptFile(folder + "CalPrompts.csv", prompts);
    const SharedData shared = rig.shared();
    const records::CertificateParties parties{
        {"Metrology Lab North", "Industriestrasse 4", "lab@example.org", "", "DE"},
        {},
        "",
        "CAL-STATION-2",
        "A. Technician"};
    std::vector<Certificate> certificates;
    for (int b = 0; b < 3; ++b) {
        const std::string address = shared.currentAddresses[b];
        const sim::BoardConfig board = sim::VariedBoard(address, 11 + b);
        const DeviceRecord& record = rig.session.devices[b];
        const records::CalibrationInput cal{
            "cal-" + board.serial,
            calibrated[b],
            board.serial,
            FormatGeneral(board.firmware, 6),
            FormatGeneral(board.revision, 6),
            address,
            records::ConstantsOf(record, 0),
            records::DescribeFile(FileOf(rig, "00" + address + "_CAL_DATA_AXIS_A_0"))};
        const records::TestInput test{
            "test-" + board.serial,
            record.calibrationTime,
            'A',
            {"CalPrompts.csv", records::DescribeFile(folder + "CalPrompts.csv").sha256, 15, 0, true,
             shared.readings.boards[b].temperature},
            records::TestRowsOf(record, 0, prompts, 15),
            records::DescribeFile(FileOf(rig, "00" + address + "_CAL_DATA_AXIS_A_TEST_"))};
        const auto built =
            records::BuildCertificate(parties, cal, test, record.calibrationTime + 60);
        ASSERT_TRUE(built.certificate) << built.error;
        EXPECT_TRUE(built.certificate->conforms) << built.certificate->statement;
        certificates.push_back(*built.certificate);
    }

    // Board 1's PDF and XML stay among the artifacts.
    const Certificate& c = certificates[0];
    const IssuedCertificate issued = IssueCertificate(c, CLINORA_ARTIFACT_DIR);
    ASSERT_TRUE(issued.ok()) << issued.error.toStdString();
    const std::vector<std::string> pages = PdfPages(issued.pdf);
    const std::string xml = testing::ReadBytes(issued.xml.toStdString());
    if (const auto schema = testing::DccSchemaFolder(); schema.empty())
        std::printf("%s\n", testing::DccSchemaSearchNote().c_str());
    else
        EXPECT_EQ(testing::DccSchemaErrors(xml, schema), std::vector<std::string>{});
    std::string text;
    std::vector<std::string> lines;
    for (const std::string& page : pages) {
        text += " " + page;
        std::stringstream split(page);
        for (std::string line; std::getline(split, line);) lines.push_back(Flat(line));
    }
    text = Flat(text);
    for (const std::string& needle :
         {c.number, c.item.serialNumber, c.statement, std::string("Statement of conformity: PASS")})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;

    // The test file numbers its rows return sweep first, each sweep from the
    // lowest angle up; the certificate keeps the order prompted. Each row of
    // the PDF's table is made of the XML's values.
    std::array<std::vector<std::string>, 6> xmlColumns;  // angle ... upper limit
    for (size_t q = 0; q < xmlColumns.size(); ++q)
        xmlColumns[q] = testing::DccList(xml, "//dcc:result[1]//dcc:list/dcc:quantity[" +
                                                  std::to_string(q + 1) + "]//si:valueXMLList");
    const auto verdicts = testing::DccList(xml, "//dcc:conformityXMLList");
    const auto fileRows = TestFileRows(FileOf(rig, "00101_CAL_DATA_AXIS_A_TEST_"));
    const int n = 7;
    ASSERT_EQ(fileRows.size(), 2u * n);
    for (const auto& column : xmlColumns) ASSERT_EQ(column.size(), 2u * n);
    for (const auto& [fileNumber, fileRow] : fileRows) {
        const auto& [label, reading] = fileRow;
        const int number = fileNumber <= n ? n + fileNumber : 2 * n - fileNumber + 1;
        const auto i = static_cast<size_t>(number - 1);
        SCOPED_TRACE("test file row " + std::to_string(fileNumber));
        EXPECT_EQ(c.rows[i].label, label);
        EXPECT_EQ(label, (c.rows[i].angle > 0 ? "+" : "") + xmlColumns[0][i] + " deg");
        EXPECT_EQ(xmlColumns[2][i], reading);
        EXPECT_EQ(xmlColumns[4][i], "-" + xmlColumns[5][i]);  // limits symmetric in this run
        const std::string line = std::to_string(number) + " " + label + " " +
                                 (c.rows[i].firstSweep ? "first" : "return") + " " +
                                 xmlColumns[0][i] + " " + xmlColumns[1][i] + " " + reading + " " +
                                 xmlColumns[3][i] + " \u00b1" + xmlColumns[5][i] + " " +
                                 verdicts[i];
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
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
    const QString pdf = QString(CLINORA_ARTIFACT_DIR) + "/certificate-failed-board.pdf";
    ASSERT_TRUE(QDir().mkpath(CLINORA_ARTIFACT_DIR) && SaveCertificatePdf(c, pdf));
    EXPECT_EQ(IssueCertificate(c, pdf + "/folder").error,
              "Cannot make the folder " + pdf + "/folder");
    const std::vector<std::string> pages = PdfPages(pdf);
    ASSERT_GE(pages.size(), 2u);
    std::string text;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string page = Flat(pages[i]);
        for (const std::string& needle :
             {std::string("Calibration Certificate"), c.number,
              "page " + std::to_string(i + 1) + " of " + std::to_string(pages.size())})
            EXPECT_NE(page.find(needle), std::string::npos) << "page " << i + 1 << ": " << needle;
        text += " " + page;
    }
    for (const std::string& needle :
         {lab, op, std::string("Statement of conformity: FAIL"),
          std::string("This board did not meet its test limits."),
          "position 3 (" + label + ", first sweep), deviation 0.004100",
          std::string("position 12 (+5 deg, return sweep), deviation -0.005000"),
          "3 " + label + " first 5 0.087156 0.091256 0.004100 \u00b10.003000 fail"})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
}

}  // namespace
}  // namespace clinora
