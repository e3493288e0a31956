// The simulated demo run as a user would: the worker on its thread in real
// time, the Monitor page following the fixture panel.
#include <gtest/gtest.h>

#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <cmath>

#include "demo_app.h"
#include "gui/fixture_panel.h"
#include "gui/chart_widget.h"
#include "gui/main_frame.h"
#include "gui_test_support.h"
#include "pages/monitor_trend.h"

namespace clinora {
namespace {

using testing::WaitFor;

double Value(const QLabel* label) {
    bool ok = false;
    const double v = label->text().toDouble(&ok);
    return ok ? v : std::nan("");
}

TEST(MonitorDemo, FixturePanelMovesTheTiltWithinSecondsAndTheTrendFollows) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CMainFrame* frame = demo.app.frame();
    auto* tilt = frame->findChild<QLabel*>("TiltReadout");
    auto* units = frame->findChild<QLabel*>("UnitsLabel");
    auto* serial = frame->findChild<QLabel*>("DeviceSN");
    auto* fixture = frame->findChild<FixturePanel*>();
    ASSERT_TRUE(tilt && units && serial && fixture);

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitFor([&] { return std::isfinite(Value(tilt)); }, 15000));
    EXPECT_LT(clock.elapsed(), 9000);  // opening, finding the board, units, the first reading
    EXPECT_EQ(units->text(), "V");     // the demo runs in calibration mode
    // Then the board's identity, and the board is read again.
    ASSERT_TRUE(WaitFor([&] { return serial->text().startsWith("ZC-"); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return std::isfinite(Value(tilt)); }, 10000));

    const double before = Value(tilt);
    fixture->tiltA()->setValue(fixture->tiltA()->value() + 20.0);
    clock.restart();
    ASSERT_TRUE(WaitFor([&] { return std::abs(Value(tilt) - before) > 0.3; }, 10000))
        << tilt->text().toStdString();
    EXPECT_LT(clock.elapsed(), 4000);

    // A picture of the page with live readings and the board's serial number.
    ASSERT_TRUE(WaitFor([&] { return serial->text().startsWith("ZC-"); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return std::isfinite(Value(tilt)); }, 10000));
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    EXPECT_TRUE(frame->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/monitor-live.png"));
    EXPECT_TRUE(demo.notifier.shown.empty());

    // The trend window follows the read-out through a few fixture moves: its
    // newest axis A point is the value on the page.
    auto* trend = frame->findChild<MonitorTrend*>();
    ASSERT_TRUE(trend);
    frame->findChild<QPushButton*>("TrendButton")->click();
    ASSERT_TRUE(trend->isVisible());

    for (const double angle : {10.0, -5.0, 15.0}) {
        const double before = Value(tilt);
        fixture->tiltA()->setValue(angle);
        fixture->temperature()->setValue(20.0 + angle / 2);
        ASSERT_TRUE(WaitFor([&] { return std::abs(Value(tilt) - before) > 0.3; }, 10000));
        WaitFor([] { return false; }, 1500);  // a few readings at the angle
    }
    trend->redraw();
    const QList<QPointF> a = trend->chart()->points(0);
    ASSERT_GT(a.size(), 5);
    EXPECT_NEAR(a.back().y(), Value(tilt), 0.05);
    EXPECT_EQ(trend->buffer().unit(), "V");
    EXPECT_TRUE(trend->grab().save(QString(CLINORA_ARTIFACT_DIR) + "/monitor-trend.png"));

    // Clear empties the plot; Pause holds it while readings go on.
    trend->findChild<QPushButton*>("TrendClear")->click();
    EXPECT_TRUE(trend->chart()->points(0).isEmpty());
    trend->findChild<QPushButton*>("TrendPause")->click();
    WaitFor([] { return false; }, 1500);
    trend->redraw();
    EXPECT_TRUE(trend->chart()->points(0).isEmpty());
    EXPECT_GT(trend->buffer().size(), 0u);
}

}  // namespace
}  // namespace clinora
