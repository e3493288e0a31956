#pragma once

// The Monitor, Status and Settings pages on a sheet against the real worker
// and simulated boards on virtual time.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gui/page_exit.h"
#include "pages/page_monitor.h"
#include "pages/page_settings.h"
#include "pages/page_status.h"
#include "sheet_rig.h"

namespace clinora::testing {

class PageRig : public SheetRig {
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
        copies.logFileName = kLogName;
        state.locked([&](SharedData& d) {
            d.settings.calibrationMode = options.calibrationMode;
            d.settings.monitorUnitsUser = options.degreesFlag;
        });
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

    CPageMonitor* monitor = nullptr;
    CPageStatus* status = nullptr;
    CPageSettings* settingsPage = nullptr;
    CPageExit* exit = nullptr;
};

}  // namespace clinora::testing
