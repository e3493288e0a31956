#include "gui/clinora_application.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QResource>
#include <QScreen>
#include <QStandardPaths>

#include "app/demo_folder.h"
#include "gui/accessibility.h"
#include "gui/data_paths.h"
#include "gui/demo_setup.h"
#include "gui/input_panel.h"
#include "gui/main_frame.h"
#include "gui/notifier.h"
#include "gui/qt_settings_store.h"
#include "gui/single_instance.h"
#include "gui/sound_player.h"

namespace clinora {
namespace {

constexpr int kSheetWidth = 480;
constexpr int kSheetHeight = 720;

// The portrait size of the window on this screen.
QSize SheetSize() {
    QSize size(kSheetWidth, kSheetHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int room = screen->availableGeometry().height() - 60;  // title and menu bars
        if (room > 0 && room < size.height()) size = QSize(std::min(kSheetWidth, room), room);
    }
    return size;
}

}  // namespace

std::optional<StartOptions> ParseStartOptions(const QStringList& arguments, QString* error) {
    StartOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) return false;
            into = arguments[++i];
            return true;
        };
        if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg == "--fullscreen") {
            options.fullscreen = true;
        } else if (arg == "--workdir") {
            if (!value(options.workdir)) {
                if (error) *error = "--workdir needs a folder";
                return std::nullopt;
            }
        } else if (arg == "--port") {
            if (!value(options.port)) {
                if (error) *error = "--port needs a device path";
                return std::nullopt;
            }
        } else {
            if (error) *error = "unknown argument: " + arg;
            return std::nullopt;
        }
    }
    return options;
}

QString StartUsage() {
    return "usage: clinora [--simulate] [--workdir DIR] [--port PATH] [--fullscreen]\n"
           "  --simulate    run on three built-in simulated boards (demo working folder)\n"
           "  --workdir DIR use DIR as the working folder\n"
           "  --port PATH   use the serial device PATH for the bus\n"
           "  --fullscreen  fill the screen (hand-held use)\n";
}

ClinoraApplication::ClinoraApplication(StartOptions options, PageMakers makers,
                                       std::unique_ptr<SettingsStore> store, Notifier* notifier)
    : options_(std::move(options)),
      makers_(std::move(makers)),
      store_(store ? std::move(store) : std::make_unique<QtSettingsStore>()),
      settings_(std::make_unique<AppSettings>(*store_)) {
    if (!notifier) {
        ownNotifier_ = std::make_unique<QtNotifier>();
        notifier = ownNotifier_.get();
    }
    notifier_ = notifier;
}

ClinoraApplication::~ClinoraApplication() {
    frame_.reset();     // stops the worker, closes the port
    settings_.reset();  // saves every value
}

QString ClinoraApplication::chooseWorkingFolder() const {
    if (!options_.workdir.isEmpty()) return QDir(options_.workdir).absolutePath() + "/";
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) documents = QDir::homePath();
    return documents + (options_.simulate ? "/Clinora Demo/" : "/Clinora/");
}

bool ClinoraApplication::start() {
    instance_ = std::make_unique<SingleInstance>(kAppTitle, kInstanceMutexName);
    if (instance_->bringOtherForward()) return false;

    const QSize sheet = SheetSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (options_.fullscreen && screen) {
        metrics_ = {screen->geometry().height(), screen->availableGeometry().height(),
                    screen->geometry().width(), screen->availableGeometry().width()};
    } else {
        metrics_ = {sheet.height(), sheet.height(), sheet.width(), sheet.width()};
    }

    if (!instance_->lock()) {
        notifier_->message(kAlreadyRunningText);
        return false;
    }
    if (IsLandscape(metrics_)) {
        notifier_->error(kLandscapeText);
        return false;
    }
    if (UsesResourceFile(metrics_))
        resourceInUse_ =
            QResource::registerResource(QCoreApplication::applicationDirPath() + "/ClinoraRes.rcc");

    workingFolder_ = chooseWorkingFolder();
    const QString data = DataFolder();
    if (options_.simulate)
        PrepareDemoFolder(workingFolder_.toStdString(),
                          MakeDemoContent((data + "/prompts").toStdString()));
    QDir().mkpath(workingFolder_);  // a failure shows later, when files are opened

    InstallAccessibleInterfaces();
    sounds_ = std::make_unique<ProcessSoundPlayer>();
    inputPanel_ = std::make_unique<InputPanel>();
    inputPanel_->install();

    FrameOptions frameOptions;
    frameOptions.simulate = options_.simulate;
    frameOptions.portPath = options_.port;
    frameOptions.workingFolder = workingFolder_;
    frameOptions.dataFolder = data;
    frameOptions.resourceInUse = resourceInUse_;
    frameOptions.sheetSize = sheet;
    frameOptions.makers = makers_;
    frame_ = std::make_unique<CMainFrame>(*settings_, *notifier_, *sounds_, frameOptions);
    if (auto* qtNotifier = dynamic_cast<QtNotifier*>(notifier_))
        qtNotifier->setParent(frame_.get());
    if (frame_->create() != 0) return false;

    instance_->listen([frame = frame_.get()] { frame->bringForward(); });
    if (options_.fullscreen)
        frame_->showFullScreen();
    else
        frame_->show();
    return true;
}

}  // namespace clinora
