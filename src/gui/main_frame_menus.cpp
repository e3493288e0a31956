// The main window's menus: File, View and Help, with their shortcuts.
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <utility>

#include "gui/about_box.h"
#include "gui/data_paths.h"
#include "gui/main_frame.h"
#include "gui/notifier.h"
#include "gui/tool_window.h"

namespace clinora {

namespace {

// The tool window of that place name among the window's children, if made.
ToolWindow* FindToolWindow(const QWidget* window, const QString& placeName) {
    for (ToolWindow* tool : window->findChildren<ToolWindow*>())
        if (tool->placeName() == placeName) return tool;
    return nullptr;
}

}  // namespace

void CMainFrame::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("FileMenu");
    QAction* folder = file->addAction("Open &Working Folder", this, &CMainFrame::openWorkingFolder);
    folder->setObjectName("OpenWorkingFolder");
    QAction* log = file->addAction("Open &Log File", this, &CMainFrame::openLogFile);
    log->setObjectName("OpenLogFile");
    file->addSeparator();
    // Quitting goes through the Exit page, as closing the window does.
    QAction* quit = file->addAction("&Quit", this, &QWidget::close);
    quit->setObjectName("Quit");
    quit->setShortcut(QKeySequence::Quit);
    if (quit->shortcut().isEmpty()) quit->setShortcut(Qt::CTRL | Qt::Key_Q);

    QMenu* view = menuBar()->addMenu("&View");
    view->setObjectName("ViewMenu");
    for (const auto& [text, place] : {std::pair{"&Trend", "Trend"}, {"&Residuals", "Residuals"}}) {
        QAction* action = view->addAction(text);
        action->setObjectName(QString(place) + "Action");
        action->setData(QString(place));
        connect(action, &QAction::triggered, this, [this, place = QString(place)] {
            if (ToolWindow* tool = FindToolWindow(this, place)) tool->present();
        });
    }
    // Residuals exist once a calibration has been fitted.
    connect(view, &QMenu::aboutToShow, this, [this, view] {
        for (QAction* action : view->actions()) {
            const ToolWindow* tool = FindToolWindow(this, action->data().toString());
            action->setEnabled(tool && tool->hasContent());
        }
    });

    // Alt+R is the Cal page's Read; the records take Alt+C.
    QMenu* recordsMenu = menuBar()->addMenu("Re&cords");
    recordsMenu->setObjectName("RecordsMenu");
    QAction* history = recordsMenu->addAction("&History...", this, &CMainFrame::openHistory);
    history->setObjectName("HistoryAction");

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("HelpMenu");
    QAction* manual = help->addAction("&Manual", this, &CMainFrame::openManual);
    manual->setObjectName("Manual");
    manual->setShortcut(QKeySequence::HelpContents);
    help->addAction("About Orvano...", this, [this] {
        CAboutDlg about(this);
        about.exec();
    });
}

void CMainFrame::openWorkingFolder() { open(QString::fromStdString(files_.workingFolder)); }

void CMainFrame::openLogFile() {
    const QString path = QString::fromStdString(files_.path(copies_.logFileName));
    if (!QFileInfo(path).isFile()) {
        notifier_.message("There is no log file yet:\n" + path +
                          "\nStart logging or Save Reading on the Monitor page to make it.");
        return;
    }
    open(path);
}

void CMainFrame::openManual() {
    const QString manual = ManualFile();
    if (manual.isEmpty()) {
        notifier_.message("The manual is not installed. It is the README of Clinora Host.");
        return;
    }
    open(manual);
}

void CMainFrame::open(const QString& path) {
    if (!openUrl_ || !openUrl_(QUrl::fromLocalFile(path)))
        notifier_.message("No program could open\n" + path);
}

}  // namespace clinora
