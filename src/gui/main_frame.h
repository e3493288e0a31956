#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
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
class ColourBox;
class CertificateIssuer;
class HistoryWindow;
class Notifier;
class PageEventSink;
class RecordsFront;
class SettingsStore;
class SoundPlayer;
class WindowPlaces;
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
    // Where the window places and the last page are kept (none: not kept).
    SettingsStore* placesStore = nullptr;
    // The records server for this run (--history-server); empty: the
    // "HistoryServer" setting.
    QString historyServer;
};

// The main window "Orvano". Owns the bus device and port, the shared state,
// the worker thread, the records thread's front and the page host, and its
// menus (File, View, Records, Help); its status line tells how the records go.
// Closing it other than through the Exit page selects the Exit page
// instead. It comes back at the size and place it had, on the page it
// showed last.
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
    WindowPlaces* windowPlaces() const { return places_; }
    RecordsFront* records() const { return records_.get(); }
    // The History window, made when first asked for.
    HistoryWindow* historyWindow();
    void openHistory();
    QString recordsStatus() const;
    // Opens a folder or file with the desktop's program for it; replaced by tests.
    using UrlOpener = std::function<bool(const QUrl&)>;
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }
    // Notes the window's place, its tool windows' and the page shown, and
    // writes them to the store.
    void rememberPlaces();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildMenus();  // main_frame_menus.cpp
    void startRecords();
    void showRecordsStatus();
    // Records that cannot be stored are said once, when no dialog is up.
    void tellRecordsKept(const QString& reason);
    void openWorkingFolder();
    void openLogFile();
    void openManual();
    void open(const QString& path);
    void restorePlaces();

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
    WindowPlaces* places_ = nullptr;
    std::unique_ptr<RecordsFront> records_;
    ColourBox* recordsStatus_ = nullptr;
    HistoryWindow* history_ = nullptr;
    CertificateIssuer* certificates_ = nullptr;  // a child; made with the records
    UrlOpener openUrl_;
};

}  // namespace clinora
