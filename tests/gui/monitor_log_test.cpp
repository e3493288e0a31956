// The Monitor page's reading log, checked byte for byte on disk.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <filesystem>
#include <regex>

#include "app/reading_log.h"
#include "gui/colour_box.h"
#include "gui/spin_edit.h"
#include "gui_test_support.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "page_rig.h"

namespace clinora {
namespace {

using testing::PageRig;
using testing::WaitFor;

const std::string kHeaderLine = std::string(kReadingLogHeader) + "\r\n";
const std::string kCelsius = std::string(1, '\xB0') + 'C';  // one byte per character

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string::npos;
         from = at + separator.size())
        pieces.push_back(text.substr(from, at - from));
    pieces.push_back(text.substr(from));
    return pieces;
}

// The file's lines after the header; every line must end with CR LF.
std::vector<std::string> DataLines(const std::string& file, size_t skip = 1) {
    EXPECT_TRUE(file.ends_with("\r\n"));
    auto lines = Split(file, "\r\n");
    lines.pop_back();
    return {lines.begin() + static_cast<long>(std::min(skip, lines.size())), lines.end()};
}

// A line as the log writes it: serial, date, temperature with its unit, the
// Celsius column as the bytes 0xB0 0x43, the two axes with their units, and
// the comment when there is one.
void ExpectLine(const std::string& line, const std::string& serial, const std::string& unitA,
                const std::string& unitB, size_t columns, const std::string& comment = "") {
    const auto c = Split(line, ",");
    ASSERT_EQ(c.size(), columns) << line;
    EXPECT_EQ(c[0], serial);
    EXPECT_TRUE(std::regex_match(c[1], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)"))) << c[1];
    EXPECT_TRUE(std::regex_match(c[2], std::regex("-?\\d+\\.\\d\\d " + kCelsius))) << c[2];
    EXPECT_EQ(c[3], kCelsius);
    EXPECT_NO_THROW(std::stod(c[4])) << c[4];
    EXPECT_EQ(c[5], unitA);
    EXPECT_NO_THROW(std::stod(c[6])) << c[6];
    EXPECT_EQ(c[7], unitB);
    if (columns == 9) {
        EXPECT_EQ(c[8], comment);
    }
}

// A rig whose board has answered and is being read.
struct Connected : PageRig {
    explicit Connected(Options options = {}) : PageRig(options) {
        start();
        // The identity comes after the first reading; then the board is read again.
        run([&] {
            bool number = false;
            find<QLabel>("TiltReadout")->text().toDouble(&number);
            return number && start_->isEnabled() &&
                   find<QLabel>("DeviceSN")->text() == QString::fromStdString(boardSerial());
        });
    }
    QPushButton* start_ = find<QPushButton>("StartStop");
    QPushButton* save = find<QPushButton>("SaveReading");
    QLabel* saveStatus = find<QLabel>("SaveStatus");
    QLineEdit* label = find<QLineEdit>("LabelBox");
    SpinEdit* interval = find<SpinEdit>("IntervalBox");

    // Clicks Save Reading and returns the marks it shows until it is done.
    QStringList saveMarks() {
        QStringList marks;
        save->click();
        marks << saveStatus->text();
        WaitFor([&] {
            if (marks.back() != saveStatus->text()) marks << saveStatus->text();
            return !monitor->saving();
        });
        return marks;
    }
};

TEST(MonitorLog, IntervalsOutsideTwoToSixtyAreRefused) {
    Connected rig;
    ASSERT_TRUE(rig.start_->isEnabled());
    for (const char* text : {"1", "61", "0", "abc"}) {
        rig.interval->setText(text);
        rig.start_->click();
        ASSERT_FALSE(rig.notifier.shown.empty()) << text;
        EXPECT_EQ(rig.notifier.shown.back().text, kIntervalOutOfRange) << text;
        EXPECT_FALSE(rig.monitor->logging()) << text;
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(rig.files.path(PageRig::kLogName))));
    // The spin buttons keep to 2..60; from text without a number they start at 2.
    rig.interval->upButton()->click();
    EXPECT_EQ(rig.interval->text(), "2");
    rig.interval->downButton()->click();
    EXPECT_EQ(rig.interval->text(), "2");
    rig.interval->setText("60");
    rig.interval->upButton()->click();
    EXPECT_EQ(rig.interval->text(), "60");
    rig.interval->setText("60");
    rig.start_->click();
    EXPECT_TRUE(rig.monitor->logging());
    EXPECT_EQ(rig.start_->text(), "Stop");
    EXPECT_FALSE(rig.interval->isEnabled());
    EXPECT_FALSE(rig.save->isEnabled());
    // The logging indicator blinks with the readings while logging.
    auto* indicator = rig.find<ColourBox>("LoggingIndicator");
    ASSERT_TRUE(rig.run([&] { return indicator->background() == colours::kRed; }));
    ASSERT_TRUE(rig.run([&] { return indicator->background() == colours::kWhite; }));
    EXPECT_FALSE(rig.save->isEnabled());  // readings do not enable it while logging
    rig.start_->click();
    EXPECT_FALSE(rig.monitor->logging());
    ASSERT_TRUE(rig.run([&] { return rig.save->isEnabled(); }));
    EXPECT_EQ(indicator->background(), colours::kWhite);
    EXPECT_EQ(rig.start_->text(), "Start");
    EXPECT_TRUE(rig.save->isEnabled());
    EXPECT_EQ(rig.readLog(), kHeaderLine);
}

TEST(MonitorLog, NewFileGetsTheHeaderThenNineColumnLinesThatSurviveLeavingThePage) {
    Connected rig;
    rig.interval->setText("2");
    rig.start_->click();
    ASSERT_TRUE(rig.monitor->logging());
    EXPECT_EQ(rig.readLog(), kHeaderLine);

    // Each line is on disk as soon as it is made.
    ASSERT_TRUE(WaitFor([&] { return DataLines(rig.readLog()).size() == 2; }, 6000));
    const std::string before = rig.readLog();
    rig.notifier.answers = {true};  // leaving stops logging: Yes
    rig.sheet->selectPage(PageRig::kStatus);
    EXPECT_EQ(rig.notifier.texts().back(), "Leaving stops logging. Leave?");
    EXPECT_FALSE(rig.monitor->logging());
    EXPECT_EQ(rig.readLog(), before);
    ASSERT_TRUE(before.starts_with(kHeaderLine));
    for (const auto& line : DataLines(before)) ExpectLine(line, rig.boardSerial(), "Deg", "Deg", 9);
}

TEST(MonitorLog, ExistingFileIsAppendedAfterItsLastLine) {
    Connected rig;
    const std::string old = kHeaderLine + "ZC-1,01/02/2026 03:04:05,20.00 " + kCelsius + "," +
                            kCelsius + ",1,Deg,2,Deg,\r\n";
    {
        std::ofstream out(rig.files.path(PageRig::kLogName), std::ios::binary);
        out << old;
    }
    rig.interval->setText("2");
    rig.start_->click();
    ASSERT_TRUE(WaitFor([&] { return rig.readLog().size() > old.size(); }, 4000));
    rig.start_->click();
    const std::string file = rig.readLog();
    ASSERT_TRUE(file.starts_with(old));
    const auto added = DataLines(file.substr(old.size()), 0);
    ASSERT_EQ(added.size(), 1u);
    ExpectLine(added[0], rig.boardSerial(), "Deg", "Deg", 9);
}

TEST(MonitorLog, SaveReadingMarksProgressAndWritesEightOrNineColumns) {
    Connected rig({.degreesFlag = 0});
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(rig.saveMarks(), (QStringList{"O", "o", ".", "Saved"}));
    EXPECT_GE(elapsed.elapsed(), 3 * CPageMonitor::kSaveStepMs - 100);
    EXPECT_TRUE(rig.save->isEnabled());
    std::string file = rig.readLog();
    ASSERT_TRUE(file.starts_with(kHeaderLine));
    auto lines = DataLines(file);
    ASSERT_EQ(lines.size(), 1u);
    ExpectLine(lines[0], rig.boardSerial(), "Sin", "Sin", 8);

    // While a save runs the button stays disabled.
    rig.save->click();
    EXPECT_FALSE(rig.save->isEnabled());
    rig.save->click();  // ignored
    ASSERT_TRUE(WaitFor([&] { return !rig.monitor->saving(); }));
    EXPECT_EQ(DataLines(rig.readLog()).size(), 2u);

    // Commas and control characters would break the row.
    const size_t shown = rig.notifier.shown.size();
    for (const char* text : {"a,b", ",", "two\tparts"}) {
        rig.label->setText(text);
        rig.save->click();
        EXPECT_FALSE(rig.monitor->saving()) << text;
    }
    ASSERT_EQ(rig.notifier.shown.size(), shown + 3);
    EXPECT_EQ(rig.notifier.shown[shown].text, "Commas not allowed in comment string");
    EXPECT_EQ(rig.notifier.shown[shown + 1].text, "Commas not allowed in comment string");
    EXPECT_EQ(rig.notifier.shown[shown + 2].text,
              "Line breaks and control characters not allowed in comment string");
    EXPECT_EQ(DataLines(rig.readLog()).size(), 2u);

    rig.label->setText("north wall");
    EXPECT_EQ(rig.saveMarks().back(), "Saved");
    lines = DataLines(rig.readLog());
    ASSERT_EQ(lines.size(), 3u);
    ExpectLine(lines[2], rig.boardSerial(), "Sin", "Sin", 9, "north wall");
}

TEST(MonitorLog, MillimetreBoardLogsAxisBInMillimetres) {
    Connected rig({.millimetreBoard = true, .degreesFlag = 0});
    // Another page's request probes the board, which tells its units.
    RequestRecord probe;
    probe.targetAddress = "101";
    ASSERT_TRUE(PostRequest(rig.state, probe, kReadSensorSettingsRequest));
    ASSERT_TRUE(rig.run([&] { return rig.shared().worker.state == kStateHeartbeat; }));
    EXPECT_EQ(rig.shared().readings.unitsLabel, "mm");
    ASSERT_TRUE(PostRequest(rig.state, probe, kStopRequest));
    rig.find<QRadioButton>("AxisB")->click();
    auto* units = rig.find<QLabel>("UnitsLabel");
    ASSERT_TRUE(rig.run([&] { return units->text() == "mm"; }));
    const double mm = rig.find<QLabel>("TiltReadout")->text().toDouble();
    EXPECT_LT(mm, -10.0);  // millimetres, not a sine

    rig.label->setText("tunnel");
    EXPECT_EQ(rig.saveMarks().back(), "Saved");
    const auto lines = DataLines(rig.readLog());
    ASSERT_EQ(lines.size(), 1u);
    ExpectLine(lines[0], rig.boardSerial(), "Sin", "mm", 9, "tunnel");

    rig.find<QRadioButton>("AxisA")->click();
    ASSERT_TRUE(rig.run([&] { return units->text() == "Sin"; }));
}

TEST(MonitorLog, LogFileThatCannotBeOpened) {
    Connected rig;
    rig.copies.logFileName = "no such folder/log.csv";
    rig.save->click();
    EXPECT_EQ(rig.saveStatus->text(), "X");
    ASSERT_FALSE(rig.notifier.shown.empty());
    EXPECT_EQ(rig.notifier.shown.back().text, "Failed to open log file.");
    rig.interval->setText("5");
    rig.start_->click();
    EXPECT_EQ(rig.notifier.shown.back().text, "Failed to open log file.");
    EXPECT_FALSE(rig.monitor->logging());
    EXPECT_FALSE(rig.start_->isEnabled());
}

// The log file goes away while logging: the page says so where the log's
// path was shown, logging stops and the lines written stay.
TEST(MonitorLog, ALogFileRemovedWhileLoggingIsSaidAndLoggingStops) {
    Connected rig;
    auto* logFile = rig.find<ColourBox>("LogFile");
    const std::string path = rig.files.path(PageRig::kLogName);
    EXPECT_EQ(logFile->text().toStdString(), path);
    rig.interval->setText("2");
    rig.start_->click();
    ASSERT_TRUE(WaitFor([&] { return DataLines(rig.readLog()).size() == 1; }, 4000));
    const std::string kept = rig.readLog();
    std::filesystem::rename(path, path + ".moved");
    ASSERT_TRUE(WaitFor([&] { return !rig.monitor->logging(); }, 4000));
    const std::string text =
        "Cannot write the log file " + path + ": the file was removed or replaced";
    EXPECT_EQ(logFile->text().toStdString(), text);
    EXPECT_EQ(logFile->background(), ColourOf(Shade::LightRed));
    ASSERT_FALSE(rig.notifier.shown.empty());
    EXPECT_EQ(rig.notifier.shown.back().text.toStdString(), text);
    EXPECT_EQ(rig.start_->text(), "Start");
    std::ifstream moved(path + ".moved", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(moved), {}), kept);
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    rig.sheet->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/monitor-log-failure.png");
}

}  // namespace
}  // namespace clinora
