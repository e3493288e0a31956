#pragma once

// What the calibration dialogs reach, without a sheet or a worker: a shared
// state, the page-only working copies, a working folder and a scripted
// notifier.

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_files.h"
#include "app/page_copies.h"
#include "gui/page_context.h"
#include "gui/scripted_notifier.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "sim/sim_bus.h"

namespace clinora::testing {

struct CalDialogRig {
    explicit CalDialogRig(std::vector<std::string> addresses = {}) {
        files.workingFolder = dir.path().toStdString() + "/";
        state.locked([&](SharedData& d) { d.currentAddresses = addresses; });
        context.state = &state;
        context.files = &files;
        context.copies = &copies;
        context.notifier = &notifier;
    }
    void write(const std::string& name) const { std::ofstream(files.path(name)) << "x"; }

    QTemporaryDir dir;
    VirtualClock clock;
    sim::SimBus bus{clock};
    SerialPort port{bus};
    SharedState state{port};
    AppFiles files;
    PageCopies copies;
    ScriptedNotifier notifier;
    PageContext context;
};

}  // namespace clinora::testing
