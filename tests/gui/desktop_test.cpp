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
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "cal_rig.h"
#include "demo_app.h"
#include "gui/main_frame.h"
#include "gui/notifier.h"
#include "gui/window_places.h"
#include "gui_test_support.h"
#include "page_rig.h"
#include "pages/monitor_trend.h"
#include "pages/residual_window.h"

namespace clinora {
namespace {

using testing::SaveArtifact;
using testing::WaitFor;

// Logging on the Monitor page: leaving asks in a real message box, with the
// page still shown under it; No keeps the page and the log running.
TEST(LeavePage, LoggingAsksAndNoKeepsThePageAndTheLog) {
    testing::PageRig rig;
    rig.start();
    auto* start = rig.find<QPushButton>("StartStop");
    ASSERT_TRUE(rig.run([&] { return start->isEnabled(); }));
    start->click();
    QtNotifier boxes(rig.sheet.get());
    rig.sheet->setNotifier(&boxes);
    QString asked;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        EXPECT_EQ(rig.sheet->tabs()->currentIndex(), testing::PageRig::kMonitor);
        SaveArtifact({rig.sheet.get(), box}, "leave-question.png");
        box->button(QMessageBox::No)->click();
    });
    rig.sheet->selectPage(testing::PageRig::kStatus);
    EXPECT_EQ(asked, "Leaving stops logging. Leave?");
    EXPECT_EQ(rig.sheet->activeIndex(), testing::PageRig::kMonitor);
    EXPECT_TRUE(rig.monitor->logging());
}

// Two positions accepted on the Cal page: another page asks and No keeps the
// walk; Exit declined after Yes brings the page back reading, walk untouched.
TEST(LeavePage, AcceptedPositionsSurviveNoAndADeclinedExit) {
    testing::CalRig rig;
    rig.sheet->addPage(new CPageExit(rig.context, rig.sheet.get(), rig.sheet.get()));
    ASSERT_TRUE(rig.start());
    auto* accept = rig.find<QPushButton>("Accept");
    const auto acceptPosition = [&] {
        rig.bus.setTilt(0, rig.promptedAngle());
        ASSERT_TRUE(rig.run([&] { return accept->isEnabled(); }));
        accept->click();
    };
    acceptPosition();
    acceptPosition();
    const int cursor = rig.cal->model()->walk().cursor();
    const QString question =
        "2 accepted positions are not yet written to files; leaving discards them. Leave?";
    rig.sheet->selectPage(testing::CalRig::kTest);  // answered No
    EXPECT_EQ(rig.sheet->activeIndex(), testing::CalRig::kCal);

    rig.notifier.answers = {true, false};  // leave: yes; exit: no
    rig.sheet->selectPage(3);
    ASSERT_TRUE(WaitFor([&] { return rig.notifier.shown.size() == 3; }, 5000));
    EXPECT_EQ(rig.notifier.texts(), (QStringList{question, question, CPageExit::kQuestion}));
    EXPECT_EQ(rig.sheet->activeIndex(), testing::CalRig::kCal);
    EXPECT_EQ(rig.cal->model()->walk().cursor(), cursor);
    acceptPosition();  // reading again
    EXPECT_EQ(rig.cal->model()->walk().cursor(), cursor - 1);
}

// Both tool windows open beside the main window, close on Escape and come
// back, also when made anew, where the user left them.
TEST(ToolWindows, BesideTheMainWindowClosedByEscapeBackWhereLeft) {
    for (const QString place : {"Residuals", "Trend"}) {
        SCOPED_TRACE(place.toStdString());
        QWidget main;
        auto* places = new WindowPlaces(nullptr, &main);
        main.setGeometry(100, 100, 480, 720);
        main.show();
        const auto make = [&]() -> ToolWindow* {
            if (place == "Trend") return new MonitorTrend(&main);
            return new ResidualWindow(&main);
        };
        ToolWindow* window = make();
        window->present();
        EXPECT_FALSE(window->frameGeometry().intersects(main.frameGeometry()));
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        window->present();
        window->move(window->pos() + QPoint(40, 30));
        const QPoint moved = window->pos();
        window->closeButton()->click();
        EXPECT_FALSE(places->geometry(place).isEmpty());
        delete window;
        window = make();
        window->present();
        EXPECT_EQ(window->pos(), moved);
    }
    // Without room on either side: the roomier side, narrowed; at the edge
    // only when even the narrowest does not fit.
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(PlaceBeside({1300, 50, 480, 720}, {600, 400}, {300, 200}, screen),
              QRect(692, 50, 600, 400));
    EXPECT_EQ(PlaceBeside({300, 50, 1300, 720}, {840, 400}, {300, 200}, screen),
              QRect(1608, 50, 312, 400));
    EXPECT_EQ(PlaceBeside({200, 900, 1500, 720}, {600, 400}, {300, 200}, screen),
              QRect(1620, 680, 300, 400));
}

// Two starts with --simulate and the program's own choice of settings file:
// the real settings file is never made, and one that exists is left byte
// for byte; the window's size and last page come back at the second start.
TEST(DemoSettings, TheRealSettingsFileIsUntouchedAndTheWindowComesBack) {
    const QString real = SettingsFileFor(false);
    const QString demo = SettingsFileFor(true);
    EXPECT_EQ(QFileInfo(demo).path(), QFileInfo(real).path());
    QFile::remove(real);
    QFile::remove(demo);
    const QByteArray realBytes = "[General]\nRangeErrorCalTest=100\nTiltRange=30\n";
    QTemporaryDir dir;
    QSize size;
    for (const bool second : {false, true}) {
        ScriptedNotifier notifier;
        {
            ClinoraApplication app(
                *ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path()}, nullptr),
                DefaultPageMakers(), nullptr, &notifier);
            ASSERT_TRUE(app.start());
            CCePropertySheet* sheet = app.frame()->pageHost()->sheet();
            if (second) {
                EXPECT_EQ(app.frame()->size(), size);
                EXPECT_TRUE(WaitFor([&] { return sheet->activePage()->title() == "Status"; }));
            } else {
                app.frame()->resize(700, 760);
                size = app.frame()->size();
                sheet->selectPage(sheet->pageCount() - 2);  // Status
                app.settings().update([](SettingsValues& v) { v.rangeErrorCalTest = 0.01; });
            }
        }  // saves its settings and places
        EXPECT_TRUE(QFile::exists(demo));
        EXPECT_EQ(QFile::exists(real), second);
        if (second) {
            QFile file(real);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), realBytes);
        } else {
            QDir().mkpath(QFileInfo(real).path());
            QFile file(real);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(realBytes);
        }
    }
    QFile::remove(real);
    QFile::remove(demo);
}

// The menus on the simulated demo: what each command opens, the view
// commands, Quit through the Exit page, and a picture of the File menu.
TEST(MainMenus, FileViewAndHelpDoWhatTheySay) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CMainFrame* frame = demo.app.frame();
    QStringList opened;
    frame->setUrlOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    const auto trigger = [&](const char* name) { frame->findChild<QAction*>(name)->trigger(); };
    trigger("OpenWorkingFolder");
    trigger("OpenLogFile");  // no log yet: said, nothing opened
    EXPECT_TRUE(demo.notifier.shown.back().text.startsWith("There is no log file yet:"));
    trigger("Manual");
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(QDir(opened[0]), QDir(demo.app.workingFolder()));
    EXPECT_TRUE(opened[1].endsWith("README.md") && QFileInfo::exists(opened[1]));

    auto* view = frame->findChild<QMenu*>("ViewMenu");
    emit view->aboutToShow();
    EXPECT_FALSE(frame->findChild<QAction*>("ResidualsAction")->isEnabled());  // before a fit
    trigger("TrendAction");
    EXPECT_TRUE(frame->findChild<MonitorTrend*>()->isVisible());

    auto* file = frame->findChild<QMenu*>("FileMenu");
    file->popup(frame->mapToGlobal(frame->menuBar()->geometry().bottomLeft()));
    ASSERT_TRUE(WaitFor([&] { return file->isVisible(); }));
    SaveArtifact({frame, file}, "file-menu.png");
    file->close();

    QAction* quit = frame->findChild<QAction*>("Quit");
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    ASSERT_TRUE(WaitFor([&] { return demo.notifier.shown.back().text == CPageExit::kQuestion; }));
    EXPECT_TRUE(frame->isVisible());  // answered No
}

// The Settings page: a tooltip on every symbol button and colour indicator,
// and words for what giving a fresh board its address did.
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
          "InitAddress", "NewAddress"})
        EXPECT_FALSE(rig.find<QWidget>(name)->toolTip().isEmpty()) << name;

    auto* init = rig.find<QLineEdit>("InitAddress");
    init->setText("104");
    emit init->textEdited("104");
    rig.find<QPushButton>("InitGo")->click();
    auto* outcome = rig.find<QLabel>("AddressOutcome");
    ASSERT_TRUE(rig.run([&] { return outcome->text() == "Board 65534 now answers at 104"; }))
        << outcome->text().toStdString();
    EXPECT_EQ(rig.bus.inspectBoard(1, [](const sim::SimBoard& b) { return b.address(); }), 104);

    auto* read = rig.find<QPushButton>("SensorRead");
    QToolTip::showText(read->mapToGlobal(read->rect().center()), read->toolTip(), read);
    QWidget* tip = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
        return tip != nullptr;
    }));
    SaveArtifact({rig.sheet.get(), tip}, "settings-tooltip.png");
    QToolTip::hideText();
}

}  // namespace
}  // namespace clinora
