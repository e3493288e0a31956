#include "gui/clinora_application.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QResource>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include "app/demo_folder.h"
#include "app/reading_log.h"
#include "gui/accessibility.h"
#include "gui/data_paths.h"
#include "gui/demo_setup.h"
#include "gui/input_panel.h"
#include "gui/main_frame.h"
#include "gui/notifier.h"
#include "gui/program_icon.h"
#include "gui/qt_settings_store.h"
#include "gui/single_instance.h"
#include "gui/sound_player.h"
#include "product_version.h"

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

StartCommand ReadStartCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QString("%1 %2: monitor, address and calibrate two-axis tilt-sensor boards on a "
                "serial bus.")
            .arg(kProductName, kProductVersion));
    // Help and version as plain options: the parser's own would end the process.
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    const QCommandLineOption simulate(
        "simulate",
        "Run on three built-in simulated boards, fresh at every start, with a demo working "
        "folder and settings of their own.");
    const QCommandLineOption workdir(
        "workdir", "Use <folder> as the working folder (default: Documents/Clinora).", "folder");
    const QCommandLineOption port(
        "port", "Use the serial device <path> for the bus instead of the adapter search.", "path");
    const QCommandLineOption fullscreen("fullscreen", "Fill the screen (hand-held use).");
    const QCommandLineOption log(
        "log", "Log a reading every <seconds> (2 to 60) from the first reading on.", "seconds");
    const QCommandLineOption historyServer(
        "history-server",
        "Copy the calibration records to the PostgreSQL server <uri> too (for example "
        "postgresql://calib@labserver/clinora) and read the history from there; default: the "
        "HistoryServer setting.",
        "uri");
    parser.addOptions({help, version, simulate, workdir, port, fullscreen, log, historyServer});

    StartCommand command;
    auto refuse = [&](const QString& text) {
        command.kind = StartCommand::Kind::Error;
        command.text = text;
        return command;
    };
    if (!parser.parse(arguments)) return refuse(parser.errorText());
    if (parser.isSet(help)) {
        command.kind = StartCommand::Kind::Help;
        command.text = parser.helpText();
        return command;
    }
    if (parser.isSet(version)) {
        command.kind = StartCommand::Kind::Version;
        command.text = QString::fromStdString(VersionLine("clinora")) + "\n";
        return command;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse("Unexpected argument '" + parser.positionalArguments().first() + "'.");
    StartOptions& options = command.options;
    options.simulate = parser.isSet(simulate);
    options.fullscreen = parser.isSet(fullscreen);
    options.workdir = parser.value(workdir);
    options.port = parser.value(port);
    if (parser.isSet(workdir) && options.workdir.isEmpty())
        return refuse("--workdir needs a folder.");
    if (parser.isSet(port) && options.port.isEmpty()) return refuse("--port needs a device path.");
    options.historyServer = parser.value(historyServer).trimmed();
    if (parser.isSet(historyServer) && options.historyServer.isEmpty())
        return refuse("--history-server needs a connection URI.");
    if (parser.isSet(log)) {
        bool number = false;
        options.logInterval = parser.value(log).toInt(&number);
        if (!number || options.logInterval < kMinLogInterval ||
            options.logInterval > kMaxLogInterval)
            return refuse("--log needs a number of seconds from 2 to 60.");
    }
    return command;
}

QString SettingsFileFor(bool simulate) {
    const QString real = QSettings("ZOV Instruments", "Orvano").fileName();
    if (!simulate) return real;
    return QFileInfo(real).path() + "/Orvano Demo.conf";
}

std::optional<StartOptions> ParseStartOptions(const QStringList& arguments, QString* error) {
    StartCommand command = ReadStartCommand(arguments);
    if (command.kind == StartCommand::Kind::Run) return command.options;
    if (error) *error = command.text;
    return std::nullopt;
}

ClinoraApplication::ClinoraApplication(StartOptions options, PageMakers makers,
                                       std::unique_ptr<SettingsStore> store, Notifier* notifier)
    : options_(std::move(options)),
      makers_(std::move(makers)),
      store_(store ? std::move(store)
                   : std::make_unique<QtSettingsStore>(SettingsFileFor(options_.simulate))),
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
    QGuiApplication::setWindowIcon(ProgramIcon());
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
    frameOptions.logInterval = options_.logInterval;
    frameOptions.makers = makers_;
    frameOptions.placesStore = store_.get();
    frameOptions.historyServer = options_.historyServer;
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
