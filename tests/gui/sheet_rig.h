#pragma once

// A sheet of pages against the real worker and simulated boards on virtual
// time: what the page rigs share. The test runs the worker's passes itself and
// delivers the events they post between passes, so a connect takes
// milliseconds of real time.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/app_files.h"
#include "app/app_settings.h"
#include "app/cal_session.h"
#include "app/page_copies.h"
#include "app/settings_store.h"
#include "gui/page_context.h"
#include "gui/property_sheet.h"
#include "gui/records_front.h"
#include "gui/scripted_notifier.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker.h"
#include "sim/sim_bus.h"

namespace clinora::testing {

class SheetRig {
public:
    SheetRig() {
        port.pinPath("simulated-bus");
        files.workingFolder = dir.path().toStdString() + "/";
        state.locked([](SharedData& d) { d.worker.started = true; });
        context.state = &state;
        context.settings = &settings;
        context.files = &files;
        context.copies = &copies;
        context.session = &session;
        context.notifier = &notifier;
        sheet = std::make_unique<CCePropertySheet>(&state);
        sheet->setNotifier(&notifier);
    }
    virtual ~SheetRig() = default;
    SheetRig(const SheetRig&) = delete;
    SheetRig& operator=(const SheetRig&) = delete;

    // Runs worker passes, delivering the events after each, until `done`
    // holds or `maxMs` of virtual time have passed.
    bool run(const std::function<bool()>& done, int64_t maxMs = 60000) {
        const int64_t end = clock.nowMs() + maxMs;
        while (!done()) {
            if (clock.nowMs() > end) return false;
            worker.pass();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            if (watch) watch();
            afterPass();
        }
        return true;
    }
    void runFor(int64_t ms) {
        run([] { return false; }, ms);
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
    CalSession session;
    ScriptedNotifier notifier;
    PageContext context;
    // The records of the calibration pages, when a rig keeps them (before
    // the sheet: its pages hand records to it until they are gone).
    std::unique_ptr<RecordsFront> records;
    std::unique_ptr<CCePropertySheet> sheet;
    std::function<void()> watch;  // called after every pass

protected:
    // What a rig does after each pass and its events (the calibration pages'
    // timer ticks).
    virtual void afterPass() {}
};

}  // namespace clinora::testing
