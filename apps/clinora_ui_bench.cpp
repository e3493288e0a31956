// Processor-time benchmark (not a test): the whole program as
// `clinora --simulate` runs it, offscreen, monitoring the simulated boards.
// After the first reading and a short settling time it measures, over a
// window of real time, the processor time of the whole process and of the
// user-interface thread (the rest is the worker and the simulated boards).
// `--trend` opens the Monitor page's trend window first; `--census` also
// counts the paints, layout requests and timer events per widget.
//
//   clinora-ui-bench [--seconds N] [--trend] [--census]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>

#include "gui/clinora_application.h"
#include "gui/main_frame.h"
#include "gui/qt_settings_store.h"
#include "gui/scripted_notifier.h"
#include "pages/page_makers.h"

namespace {

using namespace clinora;

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Counts paints, layout requests and timer events by receiver.
class Census : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const char* kind = nullptr;
        switch (event->type()) {
            case QEvent::Paint:
                kind = "paint";
                break;
            case QEvent::LayoutRequest:
                kind = "layout";
                break;
            case QEvent::Timer:
                kind = "timer";
                break;
            default:
                return false;
        }
        const QString name = QString("%1 %2 %3")
                                 .arg(kind, watched->metaObject()->className(),
                                      watched->objectName());
        ++counts[name];
        return false;
    }
    void print(double seconds) const {
        QList<QPair<int, QString>> sorted;
        for (auto it = counts.begin(); it != counts.end(); ++it) sorted.push_back({it.value(), it.key()});
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        for (const auto& [count, name] : sorted.mid(0, 60))
            std::printf("  %7.2f /s  %s\n", count / seconds, qPrintable(name));
    }
    QMap<QString, int> counts;
};

// Runs the event loop for `ms` as the program's own loop would run (QTest's
// wait polls every 10 ms, which would be measured with the program).
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    int seconds = 60;
    bool trend = false, census = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
        if (arg == "--trend") trend = true;
        if (arg == "--census") census = true;
    }

    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    ScriptedNotifier notifier;
    ClinoraApplication app(
        ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path() + "/work"}, nullptr)
            .value(),
        DefaultPageMakers(), std::make_unique<QtSettingsStore>(dir.path() + "/Orvano.conf"),
        &notifier);
    if (!app.start()) return 1;
    auto* tilt = app.frame()->findChild<QLabel*>("TiltReadout");
    QElapsedTimer waited;
    waited.start();
    bool number = false;
    while (!number && waited.elapsed() < 30000) {
        RunFor(50);
        tilt->text().toDouble(&number);
    }
    if (!number) {
        std::fprintf(stderr, "no reading on the Monitor page after 30 s\n");
        return 1;
    }
    if (trend) app.frame()->findChild<QPushButton*>("TrendButton")->click();
    RunFor(5000);  // the identity and the first trend drawing settle

    Census counter;
    if (census) qt.installEventFilter(&counter);
    const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double ui0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    RunFor(seconds * 1000);
    const double elapsed = wall.elapsed() / 1000.0;
    const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    const double ui = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - ui0;
    if (census) qt.removeEventFilter(&counter);

    std::printf("%s: %.0f s monitoring; whole program %.3f %% of one core, user-interface "
                "thread %.3f %%, worker and simulated boards %.3f %%\n",
                trend ? "with the trend window" : "without the trend window", elapsed,
                100.0 * process / elapsed, 100.0 * ui / elapsed,
                100.0 * (process - ui) / elapsed);
    if (census) counter.print(elapsed);
    return 0;
}
