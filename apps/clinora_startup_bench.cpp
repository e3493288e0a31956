// Start-up benchmark (not a test): the program against simulated boards
// served on a pseudo-terminal, in real time. Prints, from the moment the
// program starts, when the boards hear their first "SR", when the Monitor
// page shows its first reading and when it shows the board's serial number.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>

#include "gui/clinora_application.h"
#include "gui/main_frame.h"
#include "gui/qt_settings_store.h"
#include "gui/scripted_notifier.h"
#include "link/clock.h"
#include "pages/page_makers.h"
#include "sim/pty_bridge.h"
#include "sim/sim_bus.h"

namespace {

using namespace clinora;

struct Times {
    double firstSr = -1, firstReading = -1, serial = -1;
};

Times RunOnce(int run) {
    RealClock clock;
    sim::SimBus bus(clock);
    bus.addBoard(sim::VariedBoard("101", 1));
    sim::PtyBridge bridge(bus);
    if (bridge.start() != 0) {
        std::fprintf(stderr, "cannot create a pseudo-terminal\n");
        return {};
    }
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    ScriptedNotifier notifier;
    StartOptions options;
    options.workdir = dir.path() + "/work";
    options.port = QString::fromStdString(bridge.slavePath());

    Times t;
    const int64_t startMs = clock.nowMs();
    QElapsedTimer elapsed;
    elapsed.start();
    {
        ClinoraApplication app(options, DefaultPageMakers(),
                               std::make_unique<QtSettingsStore>(dir.path() + "/Orvano.conf"),
                               &notifier);
        if (!app.start()) return {};
        auto* tilt = app.frame()->findChild<QLabel*>("TiltReadout");
        auto* serial = app.frame()->findChild<QLabel*>("DeviceSN");
        while (elapsed.elapsed() < 30000 && (t.firstReading < 0 || t.serial < 0)) {
            QTest::qWait(5);
            bool number = false;
            tilt->text().toDouble(&number);
            if (number && t.firstReading < 0) t.firstReading = elapsed.elapsed() / 1000.0;
            if (serial->text().startsWith("ZC-") && t.serial < 0)
                t.serial = elapsed.elapsed() / 1000.0;
        }
        for (const sim::ReceivedLine& line : bus.receivedLines()) {
            if (line.text.size() >= 3 && line.text.compare(line.text.size() - 3, 3, " SR") == 0) {
                t.firstSr = (line.byteTimesMs.back() - startMs) / 1000.0;
                break;
            }
        }
    }
    bridge.stop();
    std::printf("run %d: first SR %.2f s, first reading on screen %.2f s, Device SN %.2f s\n", run,
                t.firstSr, t.firstReading, t.serial);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    for (int i = 1; i <= runs; ++i) RunOnce(i);
    return 0;
}
