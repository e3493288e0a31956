#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/app_settings.h"
#include "gui/clinora_application.h"
#include "gui/fixture_panel.h"
#include "gui/main_frame.h"
#include "gui/property_sheet.h"
#include "gui/qt_settings_store.h"
#include "gui/scripted_notifier.h"
#include "gui_test_support.h"
#include "pages/page_makers.h"
#include "product_version.h"
#include "sim/sim_bus.h"

namespace clinora {
namespace {

using testing::WaitFor;

TEST(StartOptions, Parsing) {
    const auto o = ParseStartOptions(
        {"clinora", "--simulate", "--workdir", "/w", "--port", "/dev/pts/3", "--fullscreen",
         "--log", "60"},
        nullptr);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->logInterval, 60);
    EXPECT_TRUE(o->simulate);
    EXPECT_TRUE(o->fullscreen);
    EXPECT_EQ(o->workdir, "/w");
    EXPECT_EQ(o->port, "/dev/pts/3");
    QString error;
    EXPECT_FALSE(ParseStartOptions({"clinora", "--port"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ParseStartOptions({"clinora", "--bogus"}, &error));
}

TEST(StartOptions, HelpVersionAndMistakesEndTheStart) {
    using Kind = StartCommand::Kind;
    const StartCommand help = ReadStartCommand({"clinora", "--simulate", "-h"});
    EXPECT_EQ(help.kind, Kind::Help);
    EXPECT_TRUE(help.text.contains("--workdir <folder>")) << help.text.toStdString();
    const StartCommand version = ReadStartCommand({"clinora", "--version"});
    EXPECT_EQ(version.kind, Kind::Version);
    EXPECT_EQ(version.text, QString("clinora (Clinora Host) %1\n").arg(kProductVersion));
    for (const QStringList& bad : {QStringList{"clinora", "--port", ""},
                                   QStringList{"clinora", "--workdir"},
                                   QStringList{"clinora", "--log", "1"},
                                   QStringList{"clinora", "--log", "2s"},
                                   QStringList{"clinora", "stray"}}) {
        const StartCommand command = ReadStartCommand(bad);
        EXPECT_EQ(command.kind, Kind::Error) << bad.join(' ').toStdString();
        EXPECT_FALSE(command.text.isEmpty());
    }
}

// The simulated demo in a fresh folder: the sheet with all six pages, a
// screenshot of each, the fixture panel driving the simulated boards, and
// the exit writing the address files and the settings.
TEST(SimulatedDemo, StartsShowsEveryPageAndExits) {
    QTemporaryDir dir;
    const QString work = dir.path() + "/Clinora Demo";
    const QString ini = dir.path() + "/Orvano.conf";
    ScriptedNotifier notifier;
    const auto options = ParseStartOptions({"clinora", "--simulate", "--workdir", work}, nullptr);
    ASSERT_TRUE(options);
    {
        ClinoraApplication app(*options, DefaultPageMakers(),
                               std::make_unique<QtSettingsStore>(ini), &notifier);
        ASSERT_TRUE(app.start());
        CMainFrame* frame = app.frame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->windowTitle(), "Orvano");
        EXPECT_TRUE(QFile::exists(work + "/calibration.ini"));
        EXPECT_TRUE(QFile::exists(work + "/CalPrompts.csv"));
        CCePropertySheet* sheet = frame->pageHost()->sheet();
        ASSERT_EQ(sheet->tabTitles(),
                  (QStringList{"Monitor", "Settings", "Cal", "Test", "Status", "Exit"}));
        EXPECT_EQ(frame->sharedState().snapshot().currentAddresses,
                  (std::vector<std::string>{"101", "102", "103"}));

        // "About Orvano..." opens the About box.
        QAction* about = nullptr;
        for (QAction* action : frame->findChildren<QAction*>())
            if (action->text() == "About Orvano...") about = action;
        ASSERT_TRUE(about);
        QString aboutTitle;
        QTimer::singleShot(50, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                aboutTitle = box->windowTitle();
                box->close();
            }
        });
        about->trigger();
        EXPECT_EQ(aboutTitle, "About Orvano");

        auto* fixture = frame->findChild<FixturePanel*>();
        ASSERT_TRUE(fixture);
        fixture->tiltA()->setValue(12.5);
        EXPECT_DOUBLE_EQ(frame->simBus()->fixture().tiltADeg, 12.5);
        fixture->freshBoard()->click();  // a new board for the Settings page
        EXPECT_EQ(frame->simBus()->status().addresses, (std::vector<int>{101, 102, 103, 65534}));
        EXPECT_FALSE(fixture->freshBoard()->isEnabled());  // one at 65534 at a time

        QDir().mkpath(CLINORA_ARTIFACT_DIR);
        for (int i = 0; i < sheet->pageCount(); ++i) {
            if (i < sheet->pageCount() - 1) {
                sheet->selectPage(i);
                EXPECT_EQ(sheet->activeIndex(), i);
            } else {
                // Exit never becomes active; show its (empty) page for the picture.
                const QSignalBlocker block(sheet->tabs());
                sheet->tabs()->setCurrentIndex(i);
            }
            QTest::qWait(20);
            const QString png = QString("%1/page-%2-%3.png")
                                    .arg(CLINORA_ARTIFACT_DIR)
                                    .arg(i)
                                    .arg(sheet->tabTitles()[i].toLower());
            EXPECT_TRUE(frame->grab().save(png)) << png.toStdString();
        }
        {
            const QSignalBlocker block(sheet->tabs());
            sheet->tabs()->setCurrentIndex(sheet->activeIndex());
        }

        frame->sharedState().locked([](SharedData& d) { d.addressPool.push_back("108"); });
        frame->pageCopies().tiltRange = 30;
        notifier.answers = {true};
        frame->close();  // the window's close button goes through the Exit page
        ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
        EXPECT_EQ(notifier.texts(), QStringList{"Do you want to exit Clinora?"});
        EXPECT_TRUE(sheet->ended());
    }
    QFile pool(work + "/PoolAddresses.csv");
    ASSERT_TRUE(pool.open(QIODevice::ReadOnly));
    EXPECT_EQ(pool.readAll(),
              QByteArray("Addresses Pool File\r\n104\r\n105\r\n106\r\n107\r\n108\r\n"));
    QtSettingsStore saved(ini);
    AppSettings reloaded(saved);
    EXPECT_EQ(reloaded.values().tiltRange, 30);
}

// A second start while the first runs: the first comes forward, the second
// ends at once without a word.
TEST(SingleInstance, SecondStartBringsTheFirstForward) {
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("HOME", dir.path());
    env.insert("QT_LOGGING_RULES", "clinora.instance.info=true");
    const QStringList args = {"--simulate", "--workdir", dir.path() + "/work"};

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(CLINORA_EXECUTABLE, args);
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(dir.path() + "/Orvano.instance"); }, 15000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(CLINORA_EXECUTABLE, args);
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray());
    EXPECT_EQ(second.readAllStandardError(), QByteArray());

    QByteArray log;
    EXPECT_TRUE(WaitFor([&] {
        log += first.readAllStandardError();
        return log.contains("brought forward by a second start");
    }));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    first.waitForFinished(5000);
}

}  // namespace
}  // namespace clinora
