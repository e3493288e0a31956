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
#include "temp_folder.h"
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

// The end-to-end run, then a second calibration: the History window's table,
// and a board's timeline charting how its constants moved.
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
        const auto of = [&](RecordKind kind) {
            for (const Record& r : kinds[kind])
                if (r.board.address == address) return r;
            ADD_FAILURE() << "no " << records::KindName(kind);
            return Record{};
        };
        const Record calibration = of(RecordKind::Calibration), test = of(RecordKind::Test);
        EXPECT_EQ(calibration.board.serial, rig.bus.inspectBoard(b, [](const sim::SimBoard& s) {
            return s.config().serial;
        }));
        EXPECT_EQ(calibration.setup->operatorName, "A. Técnico");
        EXPECT_EQ(test.board, calibration.board);
        EXPECT_EQ(test.outcome, records::kOutcomePass);
        for (const RecordKind kind : {RecordKind::Test, RecordKind::Upload, RecordKind::Verify})
            EXPECT_EQ(of(kind).follows, calibration.uuid) << records::KindName(kind);

        // The rows and constants are the files' own.
        const std::filesystem::path dataFile = folder + calibration.file.name;
        EXPECT_EQ(FileReadings(dataFile), RecordReadings(calibration.readings));
        EXPECT_EQ(FileReadings(folder + test.file.name), RecordReadings(test.testRows));
        EXPECT_TRUE(calibration.readings.at(13).otherAxis && calibration.readings.at(13).temperature);
        DeviceRecord fromFile;
        calib::CalDataFile().ReadCalibrationConstants(dataFile, fromFile);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(FormatFileConstant(calibration.constants->a[k]), FormatFileConstant(fromFile.a[k]));
    }

    // The History window over them, newest first; the export holds every row.
    HistoryWindow window(rig.records.get());
    window.resize(760, 760);
    window.show();
    ASSERT_TRUE(Answered(window));
    ASSERT_EQ(window.model().rows().size(), 12u);
    EXPECT_EQ(window.model().rows().front().kind, "test");
    window.selectRow(0);
    ASSERT_TRUE(Answered(window));
    EXPECT_EQ(window.timelineCount(), 4);
    Save(&window, "history-after-calibration.png");
    ASSERT_TRUE(window.exportTo(rig.dir.path() + "/records.csv"));
    EXPECT_EQ(QString::fromStdString(testing::ReadBytes(folder + "records.csv")).count('\n'), 13);

    // The boards drift a little and are calibrated again.
    rig.bus.setTemperature(40.0);
    rig.sheet->selectPage(CalRig::kStart);
    rig.sheet->selectPage(CalRig::kCal);
    ASSERT_TRUE(rig.calibrateAll());
    ASSERT_TRUE(rig.waitForRecords(21));
    window.search();
    ASSERT_TRUE(Answered(window));
    const auto rows = window.model().rows();
    const auto calibration = std::find_if(rows.begin(), rows.end(), [](const HistoryRow& r) {
        return r.kind == "calibration" && r.address == "102";
    });
    ASSERT_NE(calibration, rows.end());
    window.selectRow(static_cast<int>(calibration - rows.begin()));
    ASSERT_TRUE(Answered(window));
    EXPECT_TRUE(window.timelineCaption().startsWith("Board ZC-"));
    EXPECT_EQ(window.timelineCount(), 7);
    ASSERT_GT(window.chart()->seriesCount(), 0);
    EXPECT_EQ(window.chart()->points(0).size(), 1);  // the second calibration against the first
    Save(&window, "history-timeline.png");
}

// A records file that cannot be written: the calibration files are written
// all the same, the records wait as files, and the status says why.
TEST(Records, RecordsThatCannotBeStoredAreKeptAndSaid) {
    CalRig rig;
    const std::string folder = rig.dir.path().toStdString() + "/";
    testing::WriteBytes(folder + records::kHistoryFileName, std::string(4096, 'x'));
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.calibrateAll());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.records->kept() >= 3; }, 20000));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files += e.path().filename().string().find("_CAL_DATA_AXIS_A_") != std::string::npos;
    EXPECT_EQ(files, 3);
    EXPECT_TRUE(rig.records->trouble());
    EXPECT_NE(rig.records->statusText().indexOf("not stored yet"), -1);
    EXPECT_GE(records::PendingRecords(folder).size(), 3u);
}

// The program with a history server that cannot be reached: the status line
// says so and the History window shows this station's records with a note.
// Then its records file is damaged: a message box says so, once.
TEST(Records, WhileTheServerIsAwayTheStationSaysSoAndKeepsItsOwn) {
    QTemporaryDir dir;
    ScriptedNotifier notifier;
    const std::string work = dir.path().toStdString() + "/work/";
    const auto earlier =
        records::MakeSampleRun(work + "earlier", 3, 101, 7, records::ThisStation("Bench 2"));
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
    frame->openHistory();
    HistoryWindow* window = frame->historyWindow();
    ASSERT_TRUE(Answered(*window));
    EXPECT_NE(window->note().indexOf("Cannot reach the history server"), -1);
    EXPECT_NE(window->note().indexOf("Showing this station's records only"), -1);
    EXPECT_EQ(window->model().rows().size(), 3u);
    Save(frame, "records-server-away-main.png");
    Save(window, "records-server-away-history.png");

    testing::WriteBytes(work + records::kHistoryFileName, std::string(4096, 'x'));
    for (const char* end : {"-wal", "-shm"}) std::filesystem::remove(work + records::kHistoryFileName + end);
    frame->records()->keep(earlier.tests);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notifier.shown.empty(); }, 20000));
    EXPECT_TRUE(notifier.texts().front().startsWith("The records cannot be stored:"));
    EXPECT_NE(frame->recordsStatus().indexOf("3 records are not stored yet"), -1)
        << frame->recordsStatus().toStdString();
    Save(frame, "records-not-stored-main.png");
}

}  // namespace
}  // namespace clinora
