// The records of a calibration and its test on three simulated boards, the
// History window over them, and the program while its history server is away.
#include <gtest/gtest.h>

#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>

#include "cal_rig.h"
#include "calib/cal_data_file.h"
#include "gui/chart_widget.h"
#include "gui/clinora_application.h"
#include "gui/history_window.h"
#include "gui/main_frame.h"
#include "gui/qt_settings_store.h"
#include "link/file_constants.h"
#include "link/number_text.h"
#include "pages/page_makers.h"
#include "records/pending_records.h"
#include "records/record_store.h"
#include "records/sample_runs.h"

namespace clinora {
namespace {

using records::Record;
using records::RecordKind;
using testing::CalRig;

// The readings of the calibrated axis as a calibration data or test file
// lists them: the return sweep's positions, then the first sweep's, each
// from the last slot down, as printed.
std::vector<std::string> FileReadings(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("A Axis,", 0) != 0) continue;
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
        if (cells.size() >= 4) out.push_back(cells[3]);
    }
    return out;
}

// The same readings of a record, in the file's order and print.
template <class Row>
std::vector<std::string> RecordReadings(const std::vector<Row>& rows) {
    std::vector<std::string> out(rows.size());
    const size_t n = rows.size() / 2;
    for (const Row& r : rows) {
        const size_t at =
            (r.sweep == records::Sweep::Return ? 0 : n) + n - 1 - static_cast<size_t>(r.slot);
        if (at < out.size()) out[at] = FormatFixed(r.reading, 6);
    }
    return out;
}

// Every record of the store by kind, with content.
std::map<RecordKind, std::vector<Record>> RecordsByKind(const std::string& folder) {
    auto store = records::RecordStore::OpenLocal(folder);
    EXPECT_FALSE(store->check().fault);
    std::map<RecordKind, std::vector<Record>> out;
    for (const auto& row : store->list({.withContent = true})) {
        const Record r = records::RecordFromContent(row.content);
        out[r.kind].push_back(r);
    }
    return out;
}

void Save(QWidget* widget, const QString& name) {
    QCoreApplication::processEvents();  // the layout after the last answer
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    widget->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/" + name);
}

bool Answered(const HistoryWindow& window) {
    return QTest::qWaitFor([&] { return !window.waiting(); }, 20000);
}

TEST(Records, ACalibrationAndItsTestLeaveEachBoardsRecordsInTheWorkingFolder) {
    CalRig rig;
    rig.copies.operatorName = "A. Técnico";
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    rig.sheet->selectPage(CalRig::kTest);
    rig.copies.rangeErrorCalTest = 0.003;
    rig.walkAllPositions();
    rig.runFor(1000);
    // Per board: its calibration, the write, the verify and the test.
    ASSERT_TRUE(rig.waitForRecords(12)) << rig.records->statusText().toStdString();

    const std::string folder = rig.dir.path().toStdString() + "/";
    auto kinds = RecordsByKind(folder);
    for (const RecordKind kind :
         {RecordKind::Calibration, RecordKind::Test, RecordKind::Upload, RecordKind::Verify})
        ASSERT_EQ(kinds[kind].size(), 3u) << records::KindName(kind);
    for (size_t b = 0; b < 3; ++b) {
        const std::string address = std::to_string(101 + b);
        SCOPED_TRACE(address);
        const std::string serial =
            rig.bus.inspectBoard(b, [](const sim::SimBoard& board) { return board.config().serial; });
        const auto of = [&](RecordKind kind) {
            for (const Record& r : kinds[kind])
                if (r.board.address == address) return r;
            ADD_FAILURE() << "no " << records::KindName(kind);
            return Record{};
        };
        const Record calibration = of(RecordKind::Calibration);
        const Record test = of(RecordKind::Test);
        EXPECT_EQ(calibration.board.serial, serial);
        EXPECT_EQ(calibration.board.firmware, "1.500");
        EXPECT_EQ(calibration.setup->operatorName, "A. Técnico");
        EXPECT_EQ(test.board, calibration.board);
        EXPECT_EQ(test.follows, calibration.uuid);
        EXPECT_EQ(test.outcome, records::kOutcomePass);
        for (const RecordKind kind : {RecordKind::Upload, RecordKind::Verify}) {
            EXPECT_EQ(of(kind).follows, calibration.uuid);
            EXPECT_EQ(of(kind).outcome, records::kOutcomeSuccess);
        }

        // The rows and constants are the files' own.
        const std::filesystem::path dataFile = folder + calibration.file.name;
        const std::filesystem::path testFile = folder + test.file.name;
        EXPECT_EQ(FileReadings(dataFile), RecordReadings(calibration.readings));
        EXPECT_EQ(FileReadings(testFile), RecordReadings(test.testRows));
        EXPECT_EQ(calibration.readings.size(), 14u);
        for (const auto& reading : calibration.readings) {
            EXPECT_TRUE(reading.otherAxis);
            EXPECT_TRUE(reading.temperature);
        }
        DeviceRecord fromFile;
        calib::CalDataFile().ReadCalibrationConstants(dataFile, fromFile);
        const auto inFile = records::ConstantSet::Of(fromFile);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(FormatFileConstant(calibration.constants->a[k]), FormatFileConstant(inFile.a[k]))
                << "A" << k;
    }

    // The History window over them, newest first.
    HistoryWindow window(rig.records.get());
    window.resize(760, 720);
    window.show();
    ASSERT_TRUE(Answered(window));
    ASSERT_EQ(window.model().rows().size(), 12u);
    EXPECT_EQ(window.model().rows().front().kind, "test");
    EXPECT_NE(window.note().indexOf("history.sqlite"), -1) << window.note().toStdString();
    window.selectRow(0);
    ASSERT_TRUE(Answered(window));
    EXPECT_EQ(window.timelineCount(), 4);
    Save(&window, "history-after-calibration.png");

    // The export holds every row shown.
    const QString csv = rig.dir.path() + "/records.csv";
    ASSERT_TRUE(window.exportTo(csv));
    std::ifstream in(csv.toStdString());
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_EQ(lines, 13);
}

// Two calibrations of the same boards: a board's timeline charts how its
// constants moved from the first to the second.
TEST(Records, ABoardsTimelineChartsTheChangeOfItsConstants) {
    CalRig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    rig.bus.setTemperature(40.0);  // the boards drift a little
    rig.sheet->selectPage(CalRig::kStart);
    rig.sheet->selectPage(CalRig::kCal);
    ASSERT_TRUE(rig.calibrateAll());
    ASSERT_TRUE(rig.waitForRecords(18));

    HistoryWindow window(rig.records.get());
    window.resize(760, 760);
    window.show();
    ASSERT_TRUE(Answered(window));
    int row = 0;
    while (row < 18 && !(window.model().rows()[row].kind == "calibration" &&
                         window.model().rows()[row].address == "102"))
        ++row;
    ASSERT_LT(row, 18);
    window.selectRow(row);
    ASSERT_TRUE(Answered(window));
    EXPECT_TRUE(window.timelineCaption().startsWith("Board ZC-")) << window.timelineCaption().toStdString();
    EXPECT_EQ(window.timelineCount(), 6);
    ASSERT_GT(window.chart()->seriesCount(), 0);
    EXPECT_EQ(window.chart()->points(0).size(), 1);  // the second calibration against the first
    Save(&window, "history-timeline.png");
}

// The program with a history server that cannot be reached: the status line
// says so, records stay on the station, and the History window shows this
// station's records with a note.
TEST(Records, WhileTheServerIsAwayTheStationSaysSoAndKeepsItsOwn) {
    QTemporaryDir dir;
    ScriptedNotifier notifier;
    // Work this station did before.
    const std::string work = dir.path().toStdString() + "/work";
    const auto earlier =
        records::MakeSampleRun(work + "/earlier", 3, 101, 7, records::ThisStation("Bench 2"));
    records::RecordStore::OpenLocal(work)->appendAll(earlier.calibrations);
    const QString server = "postgresql://calib@/clinora?host=" + dir.path() + "/nowhere";
    ClinoraApplication app(
        ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path() + "/work",
                           "--history-server", server},
                          nullptr)
            .value(),
        DefaultPageMakers(), std::make_unique<QtSettingsStore>(dir.path() + "/Orvano.conf"),
        &notifier);
    ASSERT_TRUE(app.start());
    CMainFrame* frame = app.frame();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frame->recordsStatus().startsWith("History server not reached"); }, 20000))
        << frame->recordsStatus().toStdString();
    EXPECT_NE(frame->findChild<QMenu*>("RecordsMenu"), nullptr);
    frame->openHistory();
    HistoryWindow* window = frame->historyWindow();
    ASSERT_TRUE(Answered(*window));
    EXPECT_NE(window->note().indexOf("Cannot reach the history server"), -1)
        << window->note().toStdString();
    EXPECT_NE(window->note().indexOf("Showing this station's records only"), -1);
    EXPECT_EQ(window->model().rows().size(), 3u);
    Save(frame, "records-server-away-main.png");
    Save(window, "records-server-away-history.png");
}

// A records file that cannot be written: the calibration files are written
// all the same, the records wait as files, and the status line says why;
// the program's window also says it once in a message box.
TEST(Records, RecordsThatCannotBeStoredAreKeptAndSaid) {
    CalRig rig;
    const std::string folder = rig.dir.path().toStdString() + "/";
    {
        std::ofstream damaged(folder + records::kHistoryFileName, std::ios::binary);
        damaged << std::string(4096, 'x');
    }
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.records->kept() >= 3; }, 20000));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files += e.path().filename().string().find("_CAL_DATA_AXIS_A_") != std::string::npos;
    EXPECT_EQ(files, 3);
    EXPECT_TRUE(rig.records->trouble());
    EXPECT_NE(rig.records->statusText().indexOf("not stored yet"), -1)
        << rig.records->statusText().toStdString();
    EXPECT_GE(records::PendingRecords(folder).size(), 3u);

    QTemporaryDir dir;
    ScriptedNotifier notifier;
    ClinoraApplication app(
        ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path() + "/work"}, nullptr)
            .value(),
        DefaultPageMakers(), std::make_unique<QtSettingsStore>(dir.path() + "/Orvano.conf"),
        &notifier);
    ASSERT_TRUE(app.start());
    {
        std::ofstream damaged(dir.path().toStdString() + "/work/" + records::kHistoryFileName,
                              std::ios::binary);
        damaged << std::string(4096, 'x');
    }
    const auto sample = records::MakeSampleRun(dir.path().toStdString() + "/sample", 2, 101, 3,
                                               records::ThisStation("Bench 2"));
    app.frame()->records()->keep(sample.calibrations);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notifier.shown.empty(); }, 20000));
    EXPECT_TRUE(notifier.texts().front().startsWith("The records cannot be stored:"))
        << notifier.texts().front().toStdString();
    EXPECT_NE(app.frame()->recordsStatus().indexOf("2 records are not stored yet"), -1)
        << app.frame()->recordsStatus().toStdString();
    Save(app.frame(), "records-not-stored-main.png");
}

}  // namespace
}  // namespace clinora
