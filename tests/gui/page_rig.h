#pragma once

// Pages on a sheet against the real worker and simulated boards on virtual
// time. The test runs the worker's passes itself and delivers the events
// they post between passes, so a connect takes milliseconds of real time.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_files.h"
#include "app/app_settings.h"
#include "app/page_copies.h"
#include "app/settings_store.h"
#include "gui/page_context.h"
#include "gui/page_exit.h"
#include "gui/property_sheet.h"
#include "gui/scripted_notifier.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker.h"
#include "pages/page_monitor.h"
#include "pages/page_settings.h"
#include "pages/page_status.h"
#include "sim/sim_bus.h"

namespace clinora::testing {

class PageRig {
public:
    static constexpr const char* kLogName = "monitor_log.csv";
    enum Page { kMonitor = 0, kStatus = 1, kSettings = 2 };

    struct Options {
        bool calibrationMode = false;
        bool millimetreBoard = false;  // the first board
        int degreesFlag = 1;
        std::vector<std::string> boards = {"101"};  // addresses of the simulated boards
        bool settingsPage = false;                  // CPageSettings as page kSettings
        bool exitPage = false;                      // CPageExit as the last page
    };

    explicit PageRig(Options options) {
        uint32_t seed = 1;
        for (const std::string& address : options.boards) {
            sim::BoardConfig board = sim::VariedBoard(address, seed);
            board.tunnelProfile = seed++ == 1 && options.millimetreBoard;
            bus.addBoard(board);
        }
        bus.setTilt(0, 10.0);
        bus.setTilt(1, -4.0);
        port.pinPath("simulated-bus");
        files.workingFolder = dir.path().toStdString() + "/";
        copies.logFileName = kLogName;
        state.locked([&](SharedData& d) {
            d.settings.calibrationMode = options.calibrationMode;
            d.settings.monitorUnitsUser = options.degreesFlag;
            d.worker.started = true;
        });
        context.state = &state;
        context.settings = &settings;
        context.files = &files;
        context.copies = &copies;
        context.notifier = &notifier;
        sheet = std::make_unique<CCePropertySheet>(&state);
        monitor = new CPageMonitor(context, sheet.get());
        monitor->setClock(clock);
        status = new CPageStatus(context, sheet.get());
        sheet->addPage(monitor);
        sheet->addPage(status);
        if (options.settingsPage) {
            settingsPage = new CPageSettings(context, sheet.get());
            sheet->addPage(settingsPage);
        }
        if (options.exitPage) {
            exit = new CPageExit(context, sheet.get(), sheet.get());
            sheet->addPage(exit);
        }
        sheet->resize(480, 720);
    }
    PageRig() : PageRig(Options{}) {}

    // Shows the sheet: the Monitor page's first display and activation.
    void start() {
        sheet->show();
        sheet->start();
    }

    // Runs worker passes, delivering the events after each, until `done`
    // holds or `maxMs` of virtual time have passed.
    bool run(const std::function<bool()>& done, int64_t maxMs = 60000) {
        const int64_t end = clock.nowMs() + maxMs;
        while (!done()) {
            if (clock.nowMs() > end) return false;
            worker.pass();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        return true;
    }
    void runFor(int64_t ms) {
        run([] { return false; }, ms);
    }

    template <class W>
    W* find(const char* name) const {
        return sheet->findChild<W*>(name);
    }

    std::string readLog() const {
        std::ifstream in(files.path(kLogName), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string boardSerial() const {
        return bus.inspectBoard(0, [](const sim::SimBoard& b) { return b.config().serial; });
    }
    SharedData shared() const { return state.snapshot(); }

    QTemporaryDir dir;
    VirtualClock clock{1000};
    sim::SimBus bus{clock};
    SerialPort port{bus};
    SharedState state{port};
    Worker worker{state, clock};
    MemorySettingsStore store;
    AppSettings settings{store};
    AppFiles files;
    PageCopies copies;
    ScriptedNotifier notifier;
    PageContext context;
    std::unique_ptr<CCePropertySheet> sheet;
    CPageMonitor* monitor = nullptr;
    CPageStatus* status = nullptr;
    CPageSettings* settingsPage = nullptr;
    CPageExit* exit = nullptr;
};

}  // namespace clinora::testing
