#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <memory>

#include "app/app_files.h"
#include "app/cal_session.h"
#include "app/page_copies.h"
#include "gui/page_host.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker_thread.h"

namespace clinora {

class AppSettings;
class Notifier;
class PageEventSink;
class SoundPlayer;
namespace sim {
class SimBus;
}

struct FrameOptions {
    bool simulate = false;  // the in-process simulated boards instead of a serial device
    QString portPath;       // a pinned device path, or empty
    QString workingFolder;  // ends with '/'
    QString dataFolder;     // shipped sounds and prompts
    bool resourceInUse = false;
    QSize sheetSize{480, 720};
    int logInterval = 0;  // seconds; logging from the first reading on (0: no)
    PageMakers makers;
};

// The main window "Orvano". Owns the bus device and port, the shared state,
// the worker thread and the page host. Closing it other than through the
// Exit page selects the Exit page instead.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(AppSettings& settings, Notifier& notifier, SoundPlayer& sounds,
               FrameOptions options);
    ~CMainFrame() override;

    // Builds the window, seeds the shared state, starts the worker and sets
    // up the page host. 0 on success, -1 on failure.
    int create();

    PageHost* pageHost() const { return pageHost_; }
    SharedState& sharedState() { return state_; }
    PageCopies& pageCopies() { return copies_; }
    sim::SimBus* simBus() const { return simBus_; }
    const AppFiles& files() const { return files_; }
    // Brings the window to the front (a second start asked for it).
    void bringForward();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    AppSettings& settings_;
    Notifier& notifier_;
    SoundPlayer& sounds_;
    FrameOptions options_;
    RealClock clock_;
    sim::SimBus* simBus_ = nullptr;
    std::unique_ptr<SerialDevice> device_;
    SerialPort port_;
    SharedState state_;
    WorkerThread worker_;
    AppFiles files_;
    PageCopies copies_;
    CalSession session_;
    std::shared_ptr<PageEventSink> sink_;
    PageHost* pageHost_ = nullptr;
};

}  // namespace clinora
