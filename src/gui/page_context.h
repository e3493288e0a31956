#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

namespace clinora {

class AppSettings;
class CertificateIssuer;
class SharedState;
class Notifier;
class RecordsFront;
class SoundPlayer;
struct AppFiles;
struct PageCopies;
struct CalSession;

// What every page reaches: the shared state, the persisted settings (for the
// direct writers), the files, the user dialogs, sounds and the main window.
struct PageContext {
    SharedState* state = nullptr;
    AppSettings* settings = nullptr;
    AppFiles* files = nullptr;
    PageCopies* copies = nullptr;  // working copies only pages use
    CalSession* session = nullptr;  // the calibration the Cal and Test pages share
    Notifier* notifier = nullptr;
    SoundPlayer* sounds = nullptr;
    QPointer<QWidget> mainWindow;
    bool resourceInUse = false;  // the compact resources: 12 pt selector fonts
    int logAtStart = 0;  // seconds: the Monitor page logs from its first reading on (0: no)
    RecordsFront* records = nullptr;  // where the calibration pages' records go (none: not kept)
    std::function<void()> openHistory;  // shows the History window (none: no window)
    CertificateIssuer* certificates = nullptr;  // issues certificates from the records (none: not)
};

}  // namespace clinora
