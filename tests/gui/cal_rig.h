#pragma once

// The calibration pages on a sheet against the real worker and three
// simulated boards on virtual time. The test runs the worker's passes itself,
// delivers the events they post between passes and ticks the pages every
// 200 ms of virtual time, so a whole calibration takes seconds.

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "app/cal_page_model.h"
#include "app/cal_test_page_model.h"
#include "app/demo_folder.h"
#include "app/settings_transfer.h"
#include "calib/nominal_angles.h"
#include "gui/colour_box.h"
#include "gui/demo_setup.h"
#include "gui/issue_certificates.h"
#include "link/worker_codes.h"
#include "pages/page_cal.h"
#include "pages/page_cal_test.h"
#include "sheet_rig.h"
#include "sim/demo_bus.h"

namespace clinora::testing {

class CalRig : public SheetRig {
public:
    static constexpr int kTickMs = 200;
    enum Page { kStart = 0, kCal = 1, kTest = 2 };

    // Demo: the boards, working folder and settings `clinora --simulate`
    // starts with the first time (every setting at its default).
    enum class Boards { FactoryFitted, Uncalibrated, Demo };

    explicit CalRig(Boards boards = Boards::FactoryFitted,
                    std::vector<std::string> addresses = {"101", "102", "103"}) {
        if (boards == Boards::Demo) {
            for (const sim::BoardConfig& config : sim::DemoBoards()) bus.addBoard(config);
            addresses = sim::DemoBoardAddresses();
            PrepareDemoFolder(dir.path().toStdString() + "/demo",
                              MakeDemoContent(CLINORA_PROMPTS_DIR));
            files.workingFolder = dir.path().toStdString() + "/demo/";
            state.locked([&](SharedData& d) { SeedWorkingCopies(SettingsValues{}, d, copies); });
        } else {
            uint32_t seed = 11;
            for (const std::string& a : addresses) {
                sim::BoardConfig config = sim::VariedBoard(a, seed++);
                config.factoryFitted = boards == Boards::FactoryFitted;
                bus.addBoard(config);
            }
            QFile::copy(QString(CLINORA_PROMPTS_DIR) + "/CalPrompts.csv",
                        dir.path() + "/CalPrompts.csv");
            copies.promptFileName = "CalPrompts.csv";
            copies.tiltRange = 15;
        }
        state.locked([&](SharedData& d) {
            d.settings.calibrationMode = true;
            d.currentAddresses = addresses;
            d.worker.usbPortFound = true;
        });
        records = std::make_unique<RecordsFront>(QString::fromStdString(files.workingFolder),
                                                 QString());
        context.records = records.get();
        certificates = std::make_unique<CertificateIssuer>(
            records.get(), QString::fromStdString(files.workingFolder),
            [this] { return CertificatePartiesOf(copies); });
        context.certificates = certificates.get();
        sheet->addPage(new SheetPage("Start", context, sheet.get()));
        cal = new CPageCal(context, sheet.get());
        sheet->addPage(cal);
        test = new CPageCalTest(context, sheet.get());
        sheet->addPage(test);
        sheet->resize(480, 720);
    }

    // Shows the sheet, connects to the boards, then opens the Cal page.
    bool start() {
        sheet->show();
        sheet->start();
        if (!run([&] { return shared().worker.state == kStateSingleReading; })) return false;
        sheet->selectPage(kCal);
        return true;
    }

    // Runs worker passes, delivering their events and ticking the pages,
    // until `done` holds or `maxMs` of virtual time have passed.
    bool run(const std::function<bool()>& done, int64_t maxMs = 120000) {
        return SheetRig::run(done, maxMs);
    }

    // The fixture angle of the position the active page prompts (slot k of
    // either sweep).
    double promptedAngle() const {
        const WalkPageModel* model = sheet->activeIndex() == kTest
                                         ? static_cast<const WalkPageModel*>(test->model())
                                         : cal->model();
        return calib::NominalAngles(copies.tiltRange).degrees[model->walk().slot()];
    }

    // Walks every position the active page prompts: the fixture goes to the
    // row's angle, the boards are read at it for a full cycle, then Accept.
    // Returns the message line right after the last Accept; `midway` runs
    // before the Accept of the middle row.
    QString walkAllPositions(const std::function<void()>& midway = {}) {
        const int page = sheet->activeIndex();
        auto* accept = sheet->page(page)->findChild<QPushButton*>("Accept");
        auto* message = sheet->page(page)->findChild<ColourBox*>("Message");
        const int rows = session.promptRows;
        for (int r = 0; r < rows; ++r) {
            bus.setTilt(0, promptedAngle());
            bus.setTilt(1, 0.0);
            runFor(6000);
            EXPECT_TRUE(run([&] { return accept->isEnabled(); })) << "row " << r;
            if (r == rows / 2 && midway) midway();
            accept->click();
        }
        return message->text();
    }

    // On the Cal page: every position walked, then Yes to sending the
    // constants and to verifying them; true once "Success verifying" shows.
    bool calibrateAll() {
        notifier.answers = {true, true};
        walkAllPositions();
        auto* message = sheet->page(kCal)->findChild<ColourBox*>("Message");
        return run([&] { return message->text() == "Success verifying"; }, 900000);
    }

    // Waits (in real time: the records thread is real) until `count`
    // records are stored and none waits for a later try.
    bool waitForRecords(int64_t count, int timeoutMs = 20000) {
        return QTest::qWaitFor(
            [&] { return records->stored() >= count && records->kept() == 0; }, timeoutMs);
    }

    // A control of the active page.
    template <class W>
    W* find(const char* name) const {
        return sheet->activePage()->findChild<W*>(name);
    }
    CPageCal* cal = nullptr;
    CPageCalTest* test = nullptr;
    std::unique_ptr<CertificateIssuer> certificates;

protected:
    // The pages' 200 ms timer, on virtual time.
    void afterPass() override {
        while (clock.nowMs() - lastTickMs_ >= kTickMs) {
            lastTickMs_ += kTickMs;
            if (sheet->activeIndex() == kCal) cal->tick();
            if (sheet->activeIndex() == kTest) test->tick();
        }
    }

private:
    int64_t lastTickMs_ = 0;
};

}  // namespace clinora::testing
