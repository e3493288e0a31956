#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/app_settings.h"
#include "app/startup_rules.h"
#include "gui/page_host.h"

namespace clinora {

class CMainFrame;
class InputPanel;
class Notifier;
class ProcessSoundPlayer;
class SingleInstance;
class SettingsStore;

struct StartOptions {
    bool simulate = false;
    QString workdir;  // empty: the Documents folder's "Clinora" (or "Clinora Demo")
    QString port;     // a device path to use instead of the adapter search
    bool fullscreen = false;
    int logInterval = 0;  // seconds; the Monitor page logs from its first reading on (0: no)
    QString historyServer;  // records server URI for this run; empty: the setting
};

// What the command line asks for: run with options, or print the help or the
// version (exit status 0), or refuse a bad argument (status 2).
struct StartCommand {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Run;
    StartOptions options;
    QString text;  // the help or version text, or what is wrong
};
StartCommand ReadStartCommand(const QStringList& arguments);

// The settings file of a run: the user's ("~/.config/ZOV Instruments/
// Orvano.conf"), or with --simulate one of its own beside it ("Orvano
// Demo.conf"), so that what is tried on the simulated boards never reaches
// the settings for real boards.
QString SettingsFileFor(bool simulate);

// The options to run with (program name first). Empty with `error` set on a
// bad argument, and for help and version.
std::optional<StartOptions> ParseStartOptions(const QStringList& arguments, QString* error);

// The application object: owns the persisted settings for the whole process
// (loaded at construction, saved at destruction, after the frame has gone)
// and runs the start-up sequence.
class ClinoraApplication {
public:
    // `store` and `notifier` may be given by tests; by default the user's
    // settings file and real message boxes are used.
    ClinoraApplication(StartOptions options, PageMakers makers,
                       std::unique_ptr<SettingsStore> store = nullptr,
                       Notifier* notifier = nullptr);
    ~ClinoraApplication();

    // The start-up sequence; false ends the process (the message loop never runs).
    bool start();

    CMainFrame* frame() const { return frame_.get(); }
    AppSettings& settings() { return *settings_; }
    const ScreenMetrics& metrics() const { return metrics_; }
    bool resourceInUse() const { return resourceInUse_; }
    QString workingFolder() const { return workingFolder_; }

private:
    QString chooseWorkingFolder() const;

    StartOptions options_;
    PageMakers makers_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<Notifier> ownNotifier_;
    Notifier* notifier_;
    std::unique_ptr<ProcessSoundPlayer> sounds_;
    std::unique_ptr<InputPanel> inputPanel_;
    std::unique_ptr<SingleInstance> instance_;
    ScreenMetrics metrics_;
    bool resourceInUse_ = false;
    QString workingFolder_;
    std::unique_ptr<CMainFrame> frame_;  // last: destroyed first
};

}  // namespace clinora
