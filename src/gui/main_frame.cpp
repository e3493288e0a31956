#include "gui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QStatusBar>
#include <QTimer>

#include "app/app_settings.h"
#include "app/settings_transfer.h"
#include "app/startup_rules.h"
#include "gui/colour_box.h"
#include "gui/fixture_panel.h"
#include "gui/history_window.h"
#include "gui/issue_certificates.h"
#include "gui/notifier.h"
#include "gui/program_icon.h"
#include "gui/property_sheet.h"
#include "gui/records_front.h"
#include "gui/sheet_page.h"
#include "gui/tool_window.h"
#include "gui/window_places.h"
#include "gui/worker_event.h"
#include "link/termios_device.h"
#include "sim/demo_bus.h"
#include "sim/sim_bus.h"

namespace clinora {
namespace {

std::unique_ptr<SerialDevice> MakeDevice(bool simulate, Clock& clock, sim::SimBus*& simBus) {
    if (!simulate) return std::make_unique<TermiosDevice>();
    auto bus = sim::MakeDemoBus(clock);
    simBus = bus.get();
    return bus;
}

}  // namespace

CMainFrame::CMainFrame(AppSettings& settings, Notifier& notifier, SoundPlayer& sounds,
                       FrameOptions options)
    : settings_(settings),
      notifier_(notifier),
      sounds_(sounds),
      options_(std::move(options)),
      device_(MakeDevice(options_.simulate, clock_, simBus_)),
      port_(*device_),
      state_(port_),
      worker_(clock_),
      sink_(std::make_shared<PageEventSink>(this)),
      places_(new WindowPlaces(options_.placesStore, this)),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName("MainFrame");
    if (!options_.portPath.isEmpty())
        port_.pinPath(options_.portPath.toStdString());
    else if (options_.simulate)
        port_.pinPath("simulated-bus");
    state_.setLinkSettings(&settings_);
    // Errors the port must show reach the user on this thread.
    port_.setUserNotice([this](const std::string& text) {
        const QString message = QString::fromStdString(text);
        QMetaObject::invokeMethod(
            this, [this, message] { notifier_.message(message); }, Qt::QueuedConnection);
    });
}

CMainFrame::~CMainFrame() {
    rememberPlaces();
    // The worker goes first: it uses the state, the port and the settings.
    worker_.stop();
    sink_->detach();
    delete pageHost_;
    pageHost_ = nullptr;
    delete history_;
    history_ = nullptr;
    // Stores what it still can and keeps the rest as files for the next start.
    records_.reset();
}

int CMainFrame::create() {
    setWindowTitle(kAppTitle);
    setWindowIcon(ProgramIcon());
    buildMenus();

    pageHost_ = new PageHost(this);
    setCentralWidget(pageHost_);

    files_.workingFolder = WithTrailingSlash(options_.workingFolder.toStdString());
    const std::string sounds = options_.dataFolder.toStdString() + "/sounds/";
    files_.soundFiles = {sounds + "Alarm1.wav", sounds + "Voicbeep.wav"};
    const SettingsValues values = settings_.values();
    state_.locked([&](SharedData& d) { SeedWorkingCopies(values, d, copies_); });
    startRecords();

    PageContext& context = pageHost_->context();
    pageHost_->setSharedState(&state_);
    context.settings = &settings_;
    context.files = &files_;
    context.copies = &copies_;
    context.session = &session_;
    context.notifier = &notifier_;
    context.sounds = &sounds_;
    context.mainWindow = this;
    context.resourceInUse = options_.resourceInUse;
    context.logAtStart = options_.logInterval;
    context.records = records_.get();
    context.openHistory = [this] { openHistory(); };
    context.certificates = certificates_;

    StartWorker(state_, worker_, sink_, values.deviceChoice);

    int width = options_.sheetSize.width();
    if (simBus_) {
        auto* fixture = new FixturePanel(*simBus_);
        pageHost_->setSidePanel(fixture);
        width += fixture->sizeHint().width();
    }
    pageHost_->setUp(options_.makers);
    resize(width, options_.sheetSize.height());
    restorePlaces();
    return 0;
}

// The window's last size and place, and its last page once the first page
// has made its start (the Monitor page connects to the boards). Logging
// asked for at start keeps the Monitor page.
void CMainFrame::restorePlaces() {
    places_->load();
    restoreGeometry(places_->geometry("Main"));
    const QString last = places_->lastPage();
    CCePropertySheet* sheet = pageHost_->sheet();
    if (!sheet || last.isEmpty() || options_.logInterval > 0) return;
    for (int i = 1; i + 1 < sheet->pageCount(); ++i) {
        if (sheet->page(i)->title() != last) continue;
        QTimer::singleShot(0, sheet, [sheet, i] {
            if (!sheet->ended() && sheet->activeIndex() == 0) sheet->selectPage(i);
        });
        return;
    }
}

void CMainFrame::rememberPlaces() {
    places_->setGeometry("Main", saveGeometry());
    for (ToolWindow* window : findChildren<ToolWindow*>())
        if (window->isVisible()) window->remember();
    if (CCePropertySheet* sheet = pageHost_ ? pageHost_->sheet() : nullptr) {
        if (SheetPage* page = sheet->activePage()) places_->setLastPage(page->title());
    }
    places_->save();
}

// The records of the working folder, copied to the history server of the
// command line, else of the settings.
void CMainFrame::startRecords() {
    const QString server = !options_.historyServer.isEmpty()
                               ? options_.historyServer
                               : QString::fromStdString(settings_.values().historyServer);
    records_ = std::make_unique<RecordsFront>(QString::fromStdString(files_.workingFolder),
                                              server.trimmed());
    certificates_ = new CertificateIssuer(
        records_.get(), QString::fromStdString(files_.workingFolder),
        [this] { return CertificatePartiesOf(copies_); }, this);
    recordsStatus_ = new ColourBox(QString(), this);
    recordsStatus_->setObjectName("RecordsStatus");
    recordsStatus_->setAccessibleName("Records");
    recordsStatus_->setWordWrap(true);
    // At most three lines of the window's height; the whole text is its tooltip too.
    recordsStatus_->setMaximumHeight(recordsStatus_->fontMetrics().lineSpacing() * 3 + 6);
    recordsStatus_->setBackground(colours::kWhite);
    statusBar()->addWidget(recordsStatus_, 1);
    statusBar()->setSizeGripEnabled(false);
    connect(records_.get(), &RecordsFront::statusChanged, this, &CMainFrame::showRecordsStatus);
    connect(records_.get(), &RecordsFront::recordsKept, this, &CMainFrame::tellRecordsKept);
    showRecordsStatus();
}

void CMainFrame::showRecordsStatus() {
    if (!records_ || !recordsStatus_) return;
    QString text = records_->statusText();
    if (text.isEmpty())
        text = records_->historyServer().isEmpty() ? "Records: this station's history.sqlite."
                                                   : "Records: connecting to the history server.";
    recordsStatus_->setText(text);
    recordsStatus_->setToolTip(text);
    const bool trouble = records_->trouble();
    recordsStatus_->setState(trouble ? colours::kPaleYellow : colours::kWhite,
                             trouble ? "needs attention" : "");
}

QString CMainFrame::recordsStatus() const {
    return recordsStatus_ ? recordsStatus_->text() : QString();
}

void CMainFrame::tellRecordsKept(const QString& reason) {
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(500, this, [this, reason] { tellRecordsKept(reason); });
        return;
    }
    notifier_.message("The records cannot be stored:\n" + reason +
                      "\nThe calibration files are written all the same.");
}

HistoryWindow* CMainFrame::historyWindow() {
    if (!history_) history_ = new HistoryWindow(records_.get(), certificates_, this);
    return history_;
}

void CMainFrame::openHistory() { historyWindow()->present(); }

void CMainFrame::bringForward() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    CCePropertySheet* sheet = pageHost_ ? pageHost_->sheet() : nullptr;
    if (!sheet || sheet->ended()) {
        event->accept();
        return;
    }
    // Only the Exit page ends the program.
    event->ignore();
    sheet->selectPage(sheet->pageCount() - 1);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == WorkerEvent::eventType()) return true;  // until a page takes over
    return QMainWindow::event(event);
}

}  // namespace clinora
