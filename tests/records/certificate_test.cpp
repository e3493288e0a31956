#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "certificate_sample.h"
#include "dcc_check.h"
#include "records/certificate_dcc.h"
#include "records/certificate_from_records.h"
#include "records/digest.h"
#include "records/record_store.h"
#include "records/sample_runs.h"
#include "temp_folder.h"

namespace clinora::records {
namespace {

using testing::MakeCertificateSample;

TEST(CertificateVerdict, EachRowIsJudgedAgainstItsOwnLimits) {
    struct Case {
        double deviation, low, high;  // limits as deviations; low == high: none
        bool pass;
        const char* limit;
    };
    const Case cases[] = {
        {0.0, -0.003, 0.003, true, "\u00b10.003000"},
        {0.0029, -0.003, 0.003, true, "\u00b10.003000"},
        {-0.0031, -0.003, 0.003, false, "\u00b10.003000"},
        {0.003, -0.003, 0.003, false, "\u00b10.003000"},  // on the limit: limits are exclusive
        {0.0041, -0.001, 0.005, true, "-0.001000 / +0.005000"},
        {-0.0011, -0.001, 0.005, false, "-0.001000 / +0.005000"},
        {0.0, 0.0, 0.0, false, "none"},  // a prompt row without test limits
    };
    for (const Case& c : cases) {
        auto sample = MakeCertificateSample();
        TestRowInput& row = sample.test.rows[2];  // +5 deg
        const double sine = std::sin(5 * std::numbers::pi / 180);
        row.reading = sine + c.deviation;
        row.low = c.low == c.high ? -1.0 : sine + c.low;
        row.high = c.low == c.high ? -1.0 : sine + c.high;
        const Certificate cert = sample.build();
        const CertificateRow& r = cert.rows[2];
        EXPECT_EQ(r.pass, c.pass) << c.deviation;
        EXPECT_NEAR(r.deviation, c.deviation, 1e-15);
        EXPECT_EQ(LimitText(r), c.limit);
        EXPECT_EQ(cert.conforms, c.pass);
    }
}

TEST(CertificateVerdict, TheStatementNamesEveryPositionOutsideTheLimits) {
    EXPECT_EQ(MakeCertificateSample().build().statement, "Within limits at every position");
    auto sample = MakeCertificateSample({{3, 0.0041}, {12, -0.005}});
    sample.test.rows[4].low = sample.test.rows[4].high = -1.0;
    const Certificate cert = sample.build();
    EXPECT_FALSE(cert.conforms);
    EXPECT_EQ(cert.statement,
              "Outside the limits at 3 of 14 positions: position 3 (+5 deg, first sweep), "
              "deviation 0.004100; position 5 (-5 deg, first sweep), no test limits in the prompt "
              "file; position 12 (+5 deg, return sweep), deviation -0.005000");
}

TEST(CertificateIdentity, TheSameRecordsGiveTheSameNumberAndFileName) {
    const std::regex shape("CC-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}");
    const std::string n = CertificateNumber("cal-1", "test-1");
    EXPECT_TRUE(std::regex_match(n, shape)) << n;
    EXPECT_EQ(n, CertificateNumber("cal-1", "test-1"));
    EXPECT_NE(n, CertificateNumber("cal-1", "test-2"));
    EXPECT_NE(n, CertificateNumber("test-1", "cal-1"));
    EXPECT_NE(CertificateNumber("ab", "c"), CertificateNumber("a", "bc"));

    const struct {
        std::string serial, stem;
    } names[] = {
        {"ZC-000417", "ZC-000417_2024-03-05_"},
        {"../../etc/passwd", "_._.._etc_passwd_2024-03-05_"},  // no separator left
        {".hidden", "_hidden_2024-03-05_"},
        {"", "unknown_2024-03-05_"},
        {"Zähler 7", "Z__hler_7_2024-03-05_"},  // each byte of a non-ASCII letter
    };
    for (const auto& c : names) {
        Certificate cert;
        cert.item.serialNumber = c.serial;
        cert.calibrationTime = 1709629622;
        cert.number = n;
        EXPECT_EQ(CertificateFileStem(cert), c.stem + n);
    }
}

TEST(CertificateText, OnlyValidUtf8WithoutControlCharactersGetsThrough) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string in, out;
    } cases[] = {
        {"Lab <A&B> \"Q\" 'q' ]]>", "Lab <A&B> \"Q\" 'q' ]]>"},
        {"Μετρολογία Прибор 計測", "Μετρολογία Прибор 計測"},
        {"two\nlines\tand tab", "two\nlines\tand tab"},
        {std::string("nul\0bell\x07", 9), "nul" + r + "bell" + r},
        {"latin1 \xE9t\xE9", "latin1 " + r + "t" + r},
        {"overlong \xC0\xAF", "overlong " + r + r},
        {"surrogate \xED\xA0\x80", "surrogate " + r + r + r},
        {"cut \xE2\x82", "cut " + r + r},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanText(c.in), c.out) << c.in;
}

TEST(CertificateBuilder, RefusesWhatCannotBeCertifiedAndNamesTheBoard) {
    auto noId = MakeCertificateSample();
    noId.test.recordId.clear();
    auto noRows = MakeCertificateSample();
    noRows.test.rows.clear();
    auto nanReading = MakeCertificateSample();
    nanReading.test.rows[5].reading = NAN;
    auto infConstant = MakeCertificateSample();
    infConstant.calibration.constants[3] = INFINITY;
    for (const auto* s : {&noId, &noRows, &nanReading, &infConstant}) {
        const CertificateBuild b = BuildCertificate(s->parties, s->calibration, s->test, 0);
        EXPECT_FALSE(b.certificate);
        EXPECT_NE(b.error.find("board ZC-000417 at address 101"), std::string::npos) << b.error;
    }
}

TEST(CertificateBuilder, UnsetPartiesGetTheDocumentedDefaults) {
    auto sample = MakeCertificateSample();
    sample.parties = {};
    sample.parties.laboratory.countryCode = "Germany";
    const Certificate c = sample.build();
    EXPECT_EQ(c.laboratory.name, kDefaultLaboratoryName);
    EXPECT_EQ(c.laboratory.email, kNotStated);
    EXPECT_EQ(c.laboratory.countryCode, kUnknownCountry);
    EXPECT_EQ(c.customer.name, kDefaultCustomerName);
    EXPECT_EQ(c.operatorName, kNotStated);
    EXPECT_EQ(c.item.manufacturer, kDefaultManufacturer);
    EXPECT_EQ(MakeCertificateSample().build().laboratory.countryCode, "DE");
}

// Axis A's walk is checked against the test files in the GUI test.
TEST(CertificateBuilder, TestRowsFollowTheWalkThroughTheBoardsRecord) {
    DeviceRecord record;
    for (int k = 0; k < 7; ++k) {
        record.bFirstMain[k] = 300 + k;
        record.bReturnMain[k] = 400 + k;
    }
    std::vector<calib::PromptRow> prompts(14);
    for (int r = 0; r < 14; ++r) prompts[r].bTestLow = r;
    const auto b = TestRowsOf(record, 1, prompts, 15);
    ASSERT_EQ(b.size(), 14u);
    // Rows 13..7 prompt the first sweep's slots 0..6, rows 6..0 the return's 6..0.
    for (const auto& [index, first, angle, reading, low] : {std::tuple{0, true, 15.0, 300.0, 13.0},
                                                            {6, true, -15.0, 306.0, 7.0},
                                                            {7, false, -15.0, 406.0, 6.0},
                                                            {13, false, 15.0, 400.0, 0.0}}) {
        EXPECT_EQ(b[index].firstSweep, first);
        EXPECT_EQ(b[index].angle, angle);
        EXPECT_EQ(b[index].reading, reading);
        EXPECT_EQ(b[index].low, low);
    }
    prompts.pop_back();
    EXPECT_TRUE(TestRowsOf(record, 1, prompts, 15).empty());  // odd count
    prompts.resize(16);
    EXPECT_TRUE(TestRowsOf(record, 1, prompts, 15).empty());  // more than the table's 7 angles

    record.b = {1, 2, 3, 4, 5, 6};
    record.bCrossLinear = 0.1;
    record.bCrossQuadratic = 1e300;  // beyond single precision: refused later
    const BoardConstants c = ConstantsOf(record, 1);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[3], 0.1f);
    EXPECT_TRUE(std::isnan(c[4]));
    EXPECT_EQ(c[5], 4.0f);
}

// A test pairs with the calibration it names, else with the newest earlier
// calibration of its serial number and axis; never by serial when unknown.
TEST(CertificateRecords, ATestPairsWithTheCalibrationItChecked) {
    const auto cal = [](std::string uuid, std::string serial, std::string time, std::string axis) {
        Record r;
        r.uuid = std::move(uuid);
        r.board.serial = std::move(serial);
        r.time = std::move(time);
        r.axis = std::move(axis);
        return r;
    };
    const std::vector<Record> cals = {
        cal("c1", "ZC-1", "2024-03-01T10:00:00.000Z", "A"),
        cal("c2", "ZC-1", "2024-03-02T10:00:00.000Z", "A"),
        cal("c3", "ZC-1", "2024-03-04T10:00:00.000Z", "A"),  // after the tests below
        cal("cb", "ZC-1", "2024-03-02T11:00:00.000Z", "B"),
        cal("cu", kUnknown, "2024-03-01T10:00:00.000Z", "A"),
    };
    const struct {
        std::string follows, serial, axis;
        const char* paired;  // nullptr: none
    } cases[] = {
        {"c1", "ZC-1", "A", "c1"},   // named: wins over the newer one
        {"", "ZC-1", "A", "c2"},     // newest before the test
        {"gone", "ZC-1", "A", "c2"}, // the named one is not in the records
        {"", "ZC-1", "B", "cb"},
        {"", "ZC-2", "A", nullptr},
        {"", kUnknown, "A", nullptr},  // no serial number: only by name
        {"cu", kUnknown, "A", "cu"},
    };
    for (const auto& c : cases) {
        Record test = cal("t", c.serial, "2024-03-03T10:00:00.000Z", c.axis);
        test.kind = RecordKind::Test;
        test.follows = c.follows;
        const Record* found = CalibrationOfTest(test, cals);
        EXPECT_EQ(found ? found->uuid.c_str() : "none", std::string(c.paired ? c.paired : "none"))
            << c.follows << " " << c.serial << " " << c.axis;
    }
}

// From a store: a calibration takes the test of it; one without a test, a
// record of another kind and an unknown UUID are refused by name; a failed
// test's certificate names the position.
TEST(CertificateRecords, PlansAndCertificatesComeFromTheStore) {
    testing::TempFolder folder;
    const SampleRun run = MakeSampleRun(folder.path(), 2, 101, 5, ThisStation("Bench 1"), 102);
    auto store = RecordStore::OpenLocal(folder.path());
    store->appendAll(run.calibrations);
    store->append(run.tests[1]);  // board 101 is calibrated, never tested
    Record upload = run.tests[0];
    upload.uuid = "00000000-0000-4000-8000-00000000000a";
    upload.kind = RecordKind::Upload;
    store->append(upload);
    const PairPlan plan = PlanPairs(
        *store, {{run.calibrations[0].uuid, run.calibrations[1].uuid, upload.uuid, "0123abcd"}});
    ASSERT_EQ(plan.pairs.size(), 1u);
    EXPECT_EQ(plan.pairs[0].test.uuid, run.tests[1].uuid);
    ASSERT_EQ(plan.refusals.size(), 3u);
    EXPECT_NE(plan.refusals[0].find("board ZC-000101 at address 101"), std::string::npos);
    EXPECT_NE(plan.refusals[0].find("has no test record"), std::string::npos);
    EXPECT_NE(plan.refusals[1].find("is a record of upload"), std::string::npos);
    EXPECT_EQ(plan.refusals[2], "No record 0123abcd");

    CertificateParties parties;
    parties.laboratory.name = "Lab";
    const CertificateBuild built = CertificateOfRecords(parties, plan.pairs[0], 1709629622);
    ASSERT_TRUE(built.certificate) << built.error;
    const Certificate& c = *built.certificate;
    EXPECT_EQ(c.station, "Bench 1");
    EXPECT_EQ(c.item.serialNumber, "ZC-000102");
    EXPECT_EQ(c.number, CertificateNumber(run.calibrations[1].uuid, run.tests[1].uuid));
    EXPECT_FALSE(c.conforms);
    EXPECT_FALSE(c.rows[0].pass);
    EXPECT_NE(c.statement.find("position 1 ("), std::string::npos) << c.statement;
    EXPECT_EQ(c.constants[3], static_cast<float>(run.calibrations[1].constants->aCrossLinear));
    EXPECT_EQ(c.calibrationFile.sha256, run.calibrations[1].file.sha256);

    RecordPair crossed = plan.pairs[0];
    crossed.test.axis = "B";
    EXPECT_NE(CertificateOfRecords(parties, crossed, 0).error.find("its test was of axis B"),
              std::string::npos);
}

TEST(CertificateDigest, Sha256OfBytesAndFiles) {
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    testing::TempFolder folder;
    folder.write("big.bin", std::string(200000, 'x'));
    EXPECT_EQ(Sha256OfFile(folder / "big.bin"), Sha256Hex(std::string(200000, 'x')));
    EXPECT_FALSE(Sha256OfFile(folder / "missing.bin"));
}

class Dcc : public ::testing::Test {
protected:
    void SetUp() override {
        schema_ = testing::DccSchemaFolder();
        if (schema_.empty()) GTEST_SKIP() << testing::DccSchemaSearchNote();
    }
    void expectValid(const std::string& xml) {
        for (const std::string& e : testing::DccSchemaErrors(xml, schema_)) ADD_FAILURE() << e;
    }
    std::filesystem::path schema_;
};

TEST_F(Dcc, PassingFailingAndSparseCertificatesValidate) {
    auto failing = MakeCertificateSample({{2, 0.01}});
    auto sparse = MakeCertificateSample();
    sparse.parties = {};
    sparse.test.method.hasTemperature = false;
    for (const auto& s : {MakeCertificateSample(), failing, sparse})
        expectValid(WriteDcc(s.build()));
}

// The rows' numbers against the PDF and the test files: the GUI test.
TEST_F(Dcc, IdentityVerdictAndConstantsAreTheCertificates) {
    const Certificate c = MakeCertificateSample({{2, 0.01}}).build();
    const std::string xml = WriteDcc(c);
    const struct {
        std::string xpath, text;
    } cases[] = {
        {"//dcc:coreData/dcc:uniqueIdentifier", c.number},
        {"//dcc:item//dcc:identification[1]/dcc:value", "ZC-000417"},
        {"//dcc:statements/dcc:statement[1]/dcc:conformity", "fail"},
        {"//dcc:measurementResult/dcc:measurementMetaData//dcc:content", c.statement},
        {"//dcc:conformityXMLList",
         "pass fail pass pass pass pass pass pass pass pass pass pass "
         "pass pass"},
        {"//dcc:result[1]//dcc:quantity[4]//si:valueXMLList",
         "0.000000 0.010000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 "
         "0.000000 0.000000 0.000000 0.000000 0.000000"},
        {"//dcc:result[2]//dcc:quantity[2]//si:value", "5.00000000e-01"},
        {"//dcc:result[2]//dcc:quantity[5]//si:unit", "\\volt\\tothe{-1}"},
    };
    for (const auto& t : cases)
        EXPECT_EQ(testing::DccTexts(xml, t.xpath), std::vector<std::string>{t.text}) << t.xpath;
}

TEST_F(Dcc, HostileTextsComeOutEscapedAndIntact) {
    const std::string lab = "Lab <b>&amp; \"Q\" 'q' ]]> Μετρολογία";
    const std::string op = "O'Brien & <Прибор> ]]>";
    const std::string label = "+5 deg <x/> & ]]>";
    auto sample = MakeCertificateSample({{3, 0.01}});
    sample.parties.laboratory.name = lab;
    sample.parties.laboratory.address = "Line <1>\nLine & 2";
    sample.parties.operatorName = op;
    sample.test.rows[2].label = label;
    sample.calibration.serialNumber = "ZC-\xFF\x01";
    const Certificate c = sample.build();
    const std::string xml = WriteDcc(c);
    expectValid(xml);
    EXPECT_EQ(xml.find("<b>"), std::string::npos);
    EXPECT_EQ(xml.find("]]>"), std::string::npos);
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:calibrationLaboratory//dcc:name/dcc:content"),
              std::vector<std::string>{lab});
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:calibrationLaboratory//dcc:further/dcc:content"),
              std::vector<std::string>{"Line <1>\nLine & 2"});
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:respPerson/dcc:person/dcc:name/dcc:content"),
              std::vector<std::string>{op});
    EXPECT_NE(testing::DccTexts(xml, "//dcc:list/dcc:description/dcc:content")[0].find(label),
              std::string::npos);
    EXPECT_NE(c.statement.find("position 3 (" + label + ", first sweep)"), std::string::npos);
    EXPECT_EQ(testing::DccTexts(xml, "//dcc:item//dcc:identification[1]/dcc:value"),
              std::vector<std::string>{"ZC-\xEF\xBF\xBD\xEF\xBF\xBD"});
}

TEST(DccFile, SavedWholeOrNotAtAll) {
    testing::TempFolder folder;
    const Certificate c = MakeCertificateSample().build();
    std::string error;
    ASSERT_TRUE(SaveDcc(c, folder / "c.xml", &error)) << error;
    EXPECT_EQ(folder.read("c.xml"), WriteDcc(c));
    EXPECT_FALSE(SaveDcc(c, folder / "no-such-folder/c.xml", &error));
    EXPECT_NE(error.find("no-such-folder/c.xml"), std::string::npos) << error;
}

}  // namespace
}  // namespace clinora::records
