// The program as a desktop program: pages that ask before work is lost, tool
// windows beside the main window, menus, remembered places, the demo's own
// settings file and the Settings page's guidance.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "cal_rig.h"
#include "demo_app.h"
#include "gui/clinora_application.h"
#include "gui/main_frame.h"
#include "gui/notifier.h"
#include "gui/page_exit.h"
#include "gui/property_sheet.h"
#include "gui/qt_settings_store.h"
#include "gui/scripted_notifier.h"
#include "gui/window_places.h"
#include "gui_test_support.h"
#include "page_rig.h"
#include "pages/monitor_trend.h"
#include "pages/page_makers.h"
#include "pages/residual_window.h"

namespace clinora {
namespace {

using testing::WaitFor;

// The windows on screen, each where it stands, in one picture.
QPixmap Composite(const QList<QWidget*>& windows) {
    QRect all;
    for (QWidget* w : windows) all = all.united(w->frameGeometry());
    QPixmap picture(all.size());
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    for (QWidget* w : windows)
        painter.drawPixmap(w->geometry().topLeft() - all.topLeft(), w->grab());
    return picture;
}

void SaveArtifact(const QPixmap& picture, const QString& name) {
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    picture.save(QString(CLINORA_ARTIFACT_DIR) + "/" + name);
}

// Logging on the Monitor page: leaving asks, with the real message box; No
// keeps the page and the log running, Yes leaves and stops it.
TEST(LeavePage, LoggingAsksAndNoKeepsThePageAndTheLog) {
    testing::PageRig rig;
    rig.start();
    auto* start = rig.find<QPushButton>("StartStop");
    ASSERT_TRUE(rig.run([&] { return start->isEnabled(); }));
    start->click();
    ASSERT_TRUE(rig.monitor->logging());

    QtNotifier boxes(rig.sheet.get());
    rig.sheet->setNotifier(&boxes);
    QString asked;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        // What the user sees: the page still shown under the question.
        EXPECT_EQ(rig.sheet->tabs()->currentIndex(), testing::PageRig::kMonitor);
        SaveArtifact(Composite({rig.sheet.get(), box}), "leave-question.png");
        box->button(QMessageBox::No)->click();
    });
    rig.sheet->selectPage(testing::PageRig::kStatus);
    EXPECT_EQ(asked, "Leaving stops logging. Leave?");
    EXPECT_EQ(rig.sheet->activeIndex(), testing::PageRig::kMonitor);
    EXPECT_EQ(rig.sheet->tabs()->currentIndex(), testing::PageRig::kMonitor);
    EXPECT_TRUE(rig.monitor->logging());

    rig.sheet->setNotifier(&rig.notifier);
    rig.notifier.answers = {true};
    rig.sheet->selectPage(testing::PageRig::kStatus);
    EXPECT_EQ(rig.sheet->activeIndex(), testing::PageRig::kStatus);
    EXPECT_FALSE(rig.monitor->logging());
    // Nothing to lose on the Status page: no question on the way back.
    rig.notifier.shown.clear();
    rig.sheet->selectPage(testing::PageRig::kMonitor);
    EXPECT_TRUE(rig.notifier.shown.empty());
}

// Two positions accepted on the Cal page: a look at another page asks; No
// keeps the walk. Exit declined after Yes brings the page back reading with
// the walk untouched.
TEST(LeavePage, AcceptedPositionsSurviveNoAndADeclinedExit) {
    testing::CalRig rig;
    auto* exitPage = new CPageExit(rig.context, rig.sheet.get(), rig.sheet.get());
    rig.sheet->addPage(exitPage);
    ASSERT_TRUE(rig.start());
    auto* accept = rig.find<QPushButton>("Accept");
    for (int r = 0; r < 2; ++r) {
        rig.bus.setTilt(0, rig.promptedAngle());
        ASSERT_TRUE(rig.run([&] { return accept->isEnabled(); }));
        accept->click();
    }
    const int cursor = rig.cal->model()->walk().cursor();
    const QString question =
        "2 accepted positions are not yet written to files; leaving discards them. Leave?";

    rig.sheet->selectPage(testing::CalRig::kTest);  // answered No
    EXPECT_EQ(rig.notifier.texts(), QStringList{question});
    EXPECT_EQ(rig.sheet->activeIndex(), testing::CalRig::kCal);

    rig.notifier.answers = {true, false};  // leave: yes; exit: no
    rig.sheet->selectPage(3);
    ASSERT_TRUE(WaitFor([&] { return rig.notifier.shown.size() == 3; }, 5000));
    EXPECT_EQ(rig.notifier.texts(), (QStringList{question, question, CPageExit::kQuestion}));
    EXPECT_EQ(rig.sheet->activeIndex(), testing::CalRig::kCal);
    EXPECT_EQ(rig.cal->model()->walk().cursor(), cursor);
    rig.bus.setTilt(0, rig.promptedAngle());
    ASSERT_TRUE(rig.run([&] { return accept->isEnabled(); }));  // reading again
    accept->click();
    EXPECT_EQ(rig.cal->model()->walk().cursor(), cursor - 1);
}

// A main window with its places, as the frame has them.
struct MainStandIn {
    MainStandIn() : places(new WindowPlaces(nullptr, &main)) {
        main.setGeometry(100, 100, 480, 720);
        main.show();
    }
    QWidget main;
    WindowPlaces* places;
};

// The tool windows: beside the main window, Close and Escape, and back where
// the user left them.
TEST(ToolWindows, OpenBesideCloseOnEscapeAndComeBackWhereLeft) {
    for (const QString place : {"Residuals", "Trend"}) {
        SCOPED_TRACE(place.toStdString());
        MainStandIn stand;
        ToolWindow* window = place == "Trend"
                                 ? static_cast<ToolWindow*>(new MonitorTrend(&stand.main))
                                 : new ResidualWindow(&stand.main);
        window->present();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->frameGeometry().intersects(stand.main.frameGeometry()));
        EXPECT_EQ(window->closeButton()->text(), "&Close");
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());

        window->present();
        window->move(window->pos() + QPoint(40, 30));
        const QPoint moved = window->pos();
        window->closeButton()->click();
        EXPECT_FALSE(stand.places->geometry(place).isEmpty());
        // A window made anew (the next start) comes back there too.
        delete window;
        window = place == "Trend" ? static_cast<ToolWindow*>(new MonitorTrend(&stand.main))
                                  : new ResidualWindow(&stand.main);
        window->present();
        EXPECT_EQ(window->pos(), moved);
    }
}

TEST(ToolWindows, PlacedBesideTheMainWindowWhereverTheScreenHasRoom) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize minimum(300, 200);
    struct Case {
        QRect main;
        QSize size;
        QRect expected;
    };
    const Case cases[] = {
        {{100, 100, 480, 720}, {600, 400}, {588, 100, 600, 400}},  // right of it
        {{1300, 50, 480, 720}, {600, 400}, {692, 50, 600, 400}},   // no room right: left
        {{300, 50, 1300, 720}, {840, 400}, {1608, 50, 312, 400}},  // narrowed to the room
        {{200, 50, 1500, 720}, {600, 400}, {1620, 50, 300, 400}},  // even narrow too wide
        {{100, 900, 480, 720}, {600, 400}, {588, 680, 600, 400}},  // above the screen's bottom
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceBeside(c.main, c.size, minimum, screen), c.expected) << c.main.x();
}

// The simulated demo's own settings file: the real one is never made, and a
// real one that exists is left byte for byte.
TEST(DemoSettings, ASimulatedRunNeverTouchesTheRealSettingsFile) {
    const QString real = SettingsFileFor(false);
    const QString demo = SettingsFileFor(true);
    EXPECT_EQ(QFileInfo(demo).path(), QFileInfo(real).path());
    EXPECT_NE(demo, real);
    for (const bool realExists : {false, true}) {
        SCOPED_TRACE(realExists ? "a real settings file exists" : "no real settings file");
        QFile::remove(real);
        QFile::remove(demo);
        QByteArray realBytes;
        if (realExists) {
            QDir().mkpath(QFileInfo(real).path());
            QFile file(real);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            realBytes = "[General]\nRangeErrorCalTest=100\nTiltRange=30\n";
            file.write(realBytes);
        }
        QTemporaryDir dir;
        ScriptedNotifier notifier;
        {
            ClinoraApplication app(
                *ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path()}, nullptr),
                DefaultPageMakers(), nullptr, &notifier);
            ASSERT_TRUE(app.start());
            app.settings().update([](SettingsValues& v) { v.rangeErrorCalTest = 0.01; });
            QTest::qWait(200);
        }  // saves its settings
        EXPECT_TRUE(QFile::exists(demo));
        EXPECT_EQ(QFile::exists(real), realExists);
        if (realExists) {
            QFile file(real);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), realBytes);
        }
    }
    QFile::remove(real);
    QFile::remove(demo);
}

// The menus on the simulated demo: what each command opens, Quit through the
// Exit page, the view commands and a picture of the File menu.
TEST(MainMenus, FileViewAndHelpDoWhatTheySay) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CMainFrame* frame = demo.app.frame();
    QList<QUrl> opened;
    frame->setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    auto action = [&](const char* name) {
        QAction* a = frame->findChild<QAction*>(name);
        EXPECT_NE(a, nullptr) << name;
        return a;
    };
    EXPECT_EQ(action("Quit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    action("OpenWorkingFolder")->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QDir(opened[0].toLocalFile()), QDir(demo.app.workingFolder()));

    action("OpenLogFile")->trigger();  // no log yet: said, nothing opened
    EXPECT_EQ(opened.size(), 1);
    ASSERT_FALSE(demo.notifier.shown.empty());
    EXPECT_TRUE(demo.notifier.shown.back().text.startsWith("There is no log file yet:"));
    QFile log(QString::fromStdString(frame->files().path(frame->pageCopies().logFileName)));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.close();
    action("OpenLogFile")->trigger();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].toLocalFile(), QFileInfo(log).absoluteFilePath());

    action("Manual")->trigger();
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened[2].toLocalFile().endsWith("README.md"))
        << opened[2].toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(opened[2].toLocalFile()));

    // View: the trend is there from the start, the residuals after a fit.
    auto* view = frame->findChild<QMenu*>("ViewMenu");
    emit view->aboutToShow();
    EXPECT_TRUE(action("TrendAction")->isEnabled());
    EXPECT_FALSE(action("ResidualsAction")->isEnabled());
    action("TrendAction")->trigger();
    auto* trend = frame->findChild<MonitorTrend*>();
    ASSERT_TRUE(trend && trend->isVisible());
    QTest::keyClick(trend, Qt::Key_Escape);
    EXPECT_FALSE(trend->isVisible());

    auto* file = frame->findChild<QMenu*>("FileMenu");
    file->popup(frame->mapToGlobal(frame->menuBar()->geometry().bottomLeft()));
    ASSERT_TRUE(WaitFor([&] { return file->isVisible(); }));
    SaveArtifact(Composite({frame, file}), "file-menu.png");
    file->close();

    // Quit is the window's close: the Exit page asks.
    demo.notifier.shown.clear();
    action("Quit")->trigger();
    ASSERT_TRUE(WaitFor([&] { return !demo.notifier.shown.empty(); }, 5000));
    EXPECT_EQ(demo.notifier.shown.back().text, CPageExit::kQuestion);
    EXPECT_TRUE(frame->isVisible());
}

// The window's size and place and its last page come back at the next start.
TEST(MainWindow, SizePlaceAndPageComeBack) {
    QTemporaryDir dir;
    const QString ini = dir.path() + "/Orvano Demo.conf";
    const QStringList arguments{"clinora", "--simulate", "--workdir", dir.path() + "/work"};
    QRect geometry;
    {
        ScriptedNotifier notifier;
        ClinoraApplication app(*ParseStartOptions(arguments, nullptr), DefaultPageMakers(),
                               std::make_unique<QtSettingsStore>(ini), &notifier);
        ASSERT_TRUE(app.start());
        CMainFrame* frame = app.frame();
        frame->setGeometry(QRect(frame->geometry().topLeft() + QPoint(30, 20), QSize(700, 760)));
        geometry = frame->geometry();
        CCePropertySheet* sheet = frame->pageHost()->sheet();
        sheet->selectPage(sheet->pageCount() - 2);  // Status
        ASSERT_EQ(sheet->activePage()->title(), "Status");
    }
    ScriptedNotifier notifier;
    ClinoraApplication app(*ParseStartOptions(arguments, nullptr), DefaultPageMakers(),
                           std::make_unique<QtSettingsStore>(ini), &notifier);
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.frame()->geometry().size(), geometry.size());
    CCePropertySheet* sheet = app.frame()->pageHost()->sheet();
    ASSERT_TRUE(WaitFor([&] { return sheet->activePage()->title() == "Status"; }));
}

// The Settings page: a tooltip on every symbol button and colour indicator,
// and the words after giving a fresh board its address.
TEST(SettingsGuidance, TooltipsAndWhatTheAddressActionDid) {
    testing::PageRig rig(
        {.calibrationMode = true, .boards = {"101", "65534"}, .settingsPage = true});
    rig.state.locked([](SharedData& d) { d.currentAddresses = {"101"}; });
    rig.start();
    ASSERT_TRUE(rig.run([&] { return rig.shared().worker.state == kStateSingleReading; }));
    rig.sheet->selectPage(testing::PageRig::kSettings);
    rig.runFor(1500);
    for (const char* name :
         {"TakeFromPool", "GiveBack", "CopyToInit", "AddToPool", "DeleteFromPool", "SensorRead",
          "SensorWrite", "AxisRead", "AxisWrite", "InitGo", "ChangeGo", "TypeSelector", "StatusBox",
          "InitAddress", "NewAddress"}) {
        auto* widget = rig.find<QWidget>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->toolTip().isEmpty()) << name;
    }
    auto* init = rig.find<QLineEdit>("InitAddress");
    init->setText("104");
    emit init->textEdited("104");
    rig.find<QPushButton>("InitGo")->click();
    auto* outcome = rig.find<QLabel>("AddressOutcome");
    EXPECT_EQ(outcome->text(), "Asking board 65534 to answer at 104...");
    ASSERT_TRUE(rig.run([&] { return outcome->text() == "Board 65534 now answers at 104"; }))
        << outcome->text().toStdString();
    EXPECT_EQ(rig.bus.inspectBoard(1, [](const sim::SimBoard& b) { return b.address(); }), 104);

    // A picture of the page with the words and a tooltip shown.
    auto* read = rig.find<QPushButton>("SensorRead");
    QToolTip::showText(read->mapToGlobal(read->rect().center()), read->toolTip(), read);
    QWidget* tip = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
        return tip != nullptr;
    }));
    SaveArtifact(Composite({rig.sheet.get(), tip}), "settings-tooltip.png");
    QToolTip::hideText();
}

}  // namespace
}  // namespace clinora
