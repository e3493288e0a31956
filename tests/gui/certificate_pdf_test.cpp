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
#include "records/certificate_from_records.h"
#include "records/record_store.h"
#include "records/sample_runs.h"
#include "gui/history_window.h"
#include "gui/issue_certificates.h"
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

// The clinora-cli of this build; its exit status, standard output and error.
struct CliRun {
    int status = -1;
    std::string out, err;
};
CliRun Cli(const QStringList& arguments) {
    QProcess process;
    process.start(CLINORA_CLI, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// Through the Test page's Certificates action, from the records of the run;
// the History window and the command line issue the same again.
TEST(Certificates, TheEndToEndCalibrationGivesCertificatesThatAgreeWithItsTestFiles) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are needed";
    const std::string lab = "Labor <Nord> & \"S\u00f6hne\" ]]> \u041f\u0440\u0438\u0431\u043e\u0440";
    const std::string op = "O'Brien & <\u0394\u03b5\u03bb\u03c4\u03b1>";
    CalRig rig;
    rig.copies.laboratory = lab;
    rig.copies.laboratoryAddress = "Industriestrasse 4";
    rig.copies.operatorName = op;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    rig.sheet->selectPage(CalRig::kTest);
    rig.copies.rangeErrorCalTest = 0.003;
    auto* issue = rig.find<QPushButton>("Certificates");
    ASSERT_TRUE(issue);
    EXPECT_EQ(issue->accessibleName(), "Certificates");
    EXPECT_FALSE(issue->isEnabled());  // nothing tested yet
    rig.walkAllPositions();
    rig.runFor(1000);
    ASSERT_TRUE(rig.waitForRecords(12)) << rig.records->statusText().toStdString();
    ASSERT_TRUE(issue->isEnabled());
    rig.notifier.shown.clear();
    issue->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.certificates->busy(); }, 30000));
    ASSERT_EQ(rig.notifier.texts().size(), 1);
    const QString told = rig.notifier.texts().front();
    EXPECT_TRUE(told.startsWith("3 certificates issued in " + rig.dir.path() + "/certificates:"))
        << told.toStdString();
    EXPECT_EQ(told.count("within limits"), 3) << told.toStdString();
    QDir issued(rig.dir.path() + "/certificates");
    const QStringList pdfs = issued.entryList({"*.pdf"}, QDir::Files, QDir::Name);
    ASSERT_EQ(pdfs.size(), 3);
    ASSERT_EQ(issued.entryList({"*.xml"}, QDir::Files).size(), 3);

    // Board 1's: the serial, the date of calibration and the number in its name.
    const std::string serial = sim::VariedBoard("101", 11).serial;
    QString stem;
    for (const QString& pdf : pdfs)
        if (pdf.startsWith(QString::fromStdString(serial) + "_")) stem = pdf.chopped(4);
    ASSERT_FALSE(stem.isEmpty());
    const std::string number = stem.section('_', -1).toStdString();
    const std::string xml = testing::ReadBytes(issued.filePath(stem + ".xml").toStdString());
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:coreData/dcc:uniqueIdentifier"),
              std::vector<std::string>{number});
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:calibrationLaboratory//dcc:name/dcc:content"),
              std::vector<std::string>{lab});
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:respPerson/dcc:person/dcc:name/dcc:content"),
              std::vector<std::string>{op});

    // Again from the History window (board 1's calibration record) and from
    // the command line: the same number and the same XML.
    HistoryWindow window(rig.records.get(), rig.certificates.get());
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.waiting(); }, 20000));
    const auto rows = window.model().rows();
    const auto calibration = std::find_if(rows.begin(), rows.end(), [](const HistoryRow& r) {
        return r.kind == "calibration" && r.address == "101";
    });
    ASSERT_NE(calibration, rows.end());
    window.selectRow(static_cast<int>(calibration - rows.begin()));
    auto* again = window.findChild<QPushButton*>("IssueCertificate");
    ASSERT_TRUE(again && again->isEnabled());
    QFile::remove(issued.filePath(stem + ".xml"));
    again->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.waiting(); }, 30000));
    EXPECT_TRUE(window.note().startsWith("1 certificate issued in")) << window.note().toStdString();
    EXPECT_EQ(testing::ReadBytes(issued.filePath(stem + ".xml").toStdString()), xml);
    const QString out = rig.dir.path() + "/cli";
    const CliRun cli = Cli({"certificate", "--serial", QString::fromStdString(serial), "--latest",
                            "--workdir", rig.dir.path(), "--out", out, "--format", "dcc",
                            "--laboratory", QString::fromStdString(lab), "--laboratory-address",
                            "Industriestrasse 4"});
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out.rfind(serial + " " + number + " pass\n", 0), 0u) << cli.out;
    EXPECT_EQ(testing::ReadBytes((out + "/" + stem + ".xml").toStdString()), xml);

    // Board 1's PDF and XML stay among the artifacts.
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    for (const char* ext : {".pdf", ".xml"}) {
        QFile::remove(QString(CLINORA_ARTIFACT_DIR) + "/certificate-board-101" + ext);
        QFile::copy(issued.filePath(stem + ext),
                    QString(CLINORA_ARTIFACT_DIR) + "/certificate-board-101" + ext);
    }
    // The certificate as made from the records, for the rows' labels and sweeps.
    const auto store = records::RecordStore::OpenLocal(rig.dir.path().toStdString());
    const records::PairPlan plan = records::PlanPairs(
        *store, {{rig.test->model()->testRecords().front()}});
    ASSERT_EQ(plan.pairs.size(), 1u);
    const auto built = records::CertificateOfRecords(CertificatePartiesOf(rig.copies), plan.pairs[0], 0);
    ASSERT_TRUE(built.certificate) << built.error;
    const Certificate& c = *built.certificate;
    EXPECT_EQ(c.number, number);
    const IssuedCertificate copied{QString(CLINORA_ARTIFACT_DIR) + "/certificate-board-101.pdf",
                                   QString(CLINORA_ARTIFACT_DIR) + "/certificate-board-101.xml",
                                   {}};
    const std::vector<std::string> pages = PdfPages(copied.pdf);
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
         {c.number, c.item.serialNumber, c.statement, std::string("Statement of conformity: PASS"),
          lab, op})
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

// clinora-cli certificate against records a test made: a failed board's
// certificate says so, a board without a test gets none and is named, and
// the usage is checked.
TEST(Certificates, TheCommandLineIssuesFromTheRecords) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are needed";
    testing::TempFolder folder;
    const auto run = records::MakeSampleRun(folder.path(), 2, 101, 3,
                                            records::ThisStation("Bench 1"), 102);
    auto store = records::RecordStore::OpenLocal(folder.path());
    store->appendAll(run.calibrations);
    store->append(run.tests[1]);
    const QString work = QString::fromStdString(folder.path());

    const CliRun failed = Cli({"certificate", "--serial", "ZC-000102", "--workdir", work});
    ASSERT_EQ(failed.status, 0) << failed.err;
    EXPECT_NE(failed.out.find("FAIL: Outside the limits at 1 of 14 positions: position 1 ("),
              std::string::npos)
        << failed.out;
    std::string pdf;  // the line "  <path>.pdf" under the board's line
    std::stringstream lines(failed.out);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 6 && line.ends_with(".pdf")) pdf = line.substr(2);
    const std::string text =
        Flat(Poppler("pdftotext", {"-layout", QString::fromStdString(pdf), "-"}));
    EXPECT_NE(text.find("Statement of conformity: FAIL"), std::string::npos) << pdf;
    EXPECT_NE(text.find("ZC-000102"), std::string::npos);
    const std::string xml = testing::ReadBytes(pdf.substr(0, pdf.size() - 4) + ".xml");
    EXPECT_EQ(testing::DccList(xml, "//dcc:conformityXMLList").at(0), "fail");

    const struct {
        QStringList arguments;
        int status;
        std::string says;
    } cases[] = {
        {{"certificate", "--record", QString::fromStdString(run.calibrations[0].uuid)}, 1,
         "No certificate for board ZC-000101 at address 101: its calibration of"},
        {{"certificate", "--serial", "ZC-999999"}, 1, "No calibration or test records of serial"},
        {{"certificate"}, 2, "certificate needs --record UUID or --serial SN"},
        {{"certificate", "--record", "1", "--latest"}, 2, "--latest goes with --serial"},
        {{"certificate", "--serial", "ZC-000102", "--format", "png"}, 2,
         "--format takes pdf, dcc or both"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.arguments + QStringList{"--workdir", work});
        EXPECT_EQ(r.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
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
