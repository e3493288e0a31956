// The Monitor page against the worker and a simulated board on virtual time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "gui/colour_box.h"
#include "gui/spin_edit.h"
#include "gui_test_support.h"
#include "link/usb_search.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "page_rig.h"

namespace clinora {
namespace {

using testing::PageRig;
using testing::WaitFor;

std::string ColourName(const QColor& c) {
    if (c == colours::kRed) return "red";
    if (c == colours::kPaleYellow) return "yellow";
    if (c == colours::kGreen) return "green";
    if (c == colours::kWhite) return "white";
    if (c == colours::kLightGrey) return "grey";
    return "other";
}

// The controls of the page under test.
struct MonitorView {
    explicit MonitorView(const PageRig& rig)
        : tilt(rig.find<QLabel>("TiltReadout")),
          units(rig.find<QLabel>("UnitsLabel")),
          temperature(rig.find<QLabel>("TemperatureReadout")),
          selector(rig.find<QComboBox>("UnitSelector")),
          axisB(rig.find<QRadioButton>("AxisB")),
          start(rig.find<QPushButton>("StartStop")),
          save(rig.find<QPushButton>("SaveReading")),
          deviceSn(rig.find<ColourBox>("DeviceSN")),
          port(rig.find<ColourBox>("PortIndicator")),
          status(rig.find<ColourBox>("StatusIndicator")),
          message(rig.find<ColourBox>("StatusMessage")) {}

    // The tilt read-out as a number; NaN while it shows no number.
    double tiltValue() const {
        bool ok = false;
        const double v = tilt->text().toDouble(&ok);
        return ok ? v : std::nan("");
    }
    QStringList entries() const {
        QStringList list;
        for (int i = 0; i < selector->count(); ++i) list << selector->itemText(i);
        return list;
    }
    std::string indicators() const {
        return message->text().toStdString() + "|" + ColourName(port->background()) + "|" +
               ColourName(status->background());
    }

    QLabel *tilt, *units, *temperature;
    QComboBox* selector;
    QRadioButton* axisB;
    QPushButton *start, *save;
    ColourBox *deviceSn, *port, *status, *message;
};

bool Near(double value, double target, double tolerance) {
    return std::isfinite(value) && std::abs(value - target) < tolerance;
}

double Sine(double degrees) { return std::sin(degrees * M_PI / 180.0); }

TEST(MonitorPage, ConnectFlowDegreesSineAxisBAndLosingTheBoard) {
    PageRig rig;  // outside calibration mode, degrees flag 1
    rig.start();
    MonitorView v(rig);
    EXPECT_TRUE(rig.notifier.shown.empty());
    EXPECT_EQ(ColourName(v.port->background()), "yellow");  // adapter found
    EXPECT_EQ(ColourName(v.status->background()), "red");
    EXPECT_EQ(v.deviceSn->text(), "--");
    EXPECT_EQ(ColourName(v.deviceSn->background()), "grey");
    EXPECT_EQ(v.tilt->text(), "--.--");
    EXPECT_EQ(v.temperature->text(), "--");
    EXPECT_FALSE(v.start->isEnabled());
    // The worker has not opened a port yet: it opens the adapter's at its
    // next attempt, without a connect request that would cost it a pass.
    SharedData d = rig.shared();
    EXPECT_TRUE(d.worker.usbPortFound);
    EXPECT_FALSE(d.worker.requestPending);
    EXPECT_EQ(d.settings.monitorUnits, kReadingCalibrated);
    EXPECT_EQ(v.entries(), (QStringList{"Sine", "Degrees"}));
    EXPECT_EQ(v.selector->currentText(), "Degrees");
    EXPECT_EQ(v.units->text(), "Deg");

    // The indicators and the message as the events arrive, then the board's
    // serial number once its identity has been read.
    std::vector<std::string> seen;
    const QString serial = QString::fromStdString(rig.boardSerial());
    ASSERT_TRUE(rig.run([&] {
        if (seen.empty() || seen.back() != v.indicators()) seen.push_back(v.indicators());
        return v.deviceSn->text() == serial && Near(v.tiltValue(), 10.0, 0.3);
    }));
    const std::vector<std::string> expected = {"Port open|yellow|red", "Device found|green|red",
                                               "Reading Monitor|green|green"};
    auto at = seen.begin();
    for (const auto& step : expected) {
        at = std::find(at, seen.end(), step);
        ASSERT_NE(at, seen.end()) << step;
    }
    EXPECT_EQ(v.units->text(), "Deg");
    EXPECT_TRUE(v.temperature->text().endsWith(QString::fromUtf8(" °C")))
        << v.temperature->text().toStdString();
    EXPECT_TRUE(v.start->isEnabled());
    EXPECT_TRUE(v.save->isEnabled());

    // Sine: the degrees flag goes off and the next readings come as sine.
    v.selector->setCurrentIndex(0);
    EXPECT_EQ(v.units->text(), "Sin");
    EXPECT_EQ(rig.shared().settings.monitorUnitsUser, 0);
    ASSERT_TRUE(rig.run([&] { return Near(v.tiltValue(), Sine(10.0), 0.01); }));

    // Axis B.
    v.axisB->click();
    EXPECT_EQ(rig.shared().settings.axisSelector, 0);
    ASSERT_TRUE(rig.run([&] { return Near(v.tiltValue(), Sine(-4.0), 0.01); }));
    EXPECT_EQ(v.units->text(), "Sin");

    // The board goes away: failed readings, then the port cannot be reopened.
    rig.bus.unplug();
    ASSERT_TRUE(rig.run([&] { return ColourName(v.status->background()) == "yellow"; }));
    EXPECT_FALSE(v.start->isEnabled());
    EXPECT_FALSE(v.save->isEnabled());
    ASSERT_TRUE(rig.run([&] { return ColourName(v.port->background()) == "red"; }));
    EXPECT_EQ(ColourName(v.status->background()), "red");
}

// The first reading reaches the screen before the board's identity is read;
// from the moment a board answers until its identity is known no serial number
// is shown or logged, not even the one of the board read before.
TEST(MonitorPage, FirstReadingComesBeforeTheIdentityAndNoWrongSerialMeanwhile) {
    PageRig rig;
    rig.state.locked([](SharedData& d) { d.readings.serialNumber = "ZC-EARLIER"; });
    rig.start();
    MonitorView v(rig);
    const QString serial = QString::fromStdString(rig.boardSerial());
    bool found = false, readingShown = false, readingBeforeSerial = false;
    std::string wrongSerial;
    ASSERT_TRUE(rig.run([&] {
        found = found || v.message->text() == "Device found";
        const std::string logged = rig.shared().readings.serialNumber;
        if (found && !logged.empty() && logged != rig.boardSerial()) wrongSerial = logged;
        if (v.deviceSn->text() == "ZC-EARLIER") wrongSerial = "shown";
        if (!readingShown && std::isfinite(v.tiltValue())) {
            readingShown = true;
            readingBeforeSerial = v.deviceSn->text() != serial;
        }
        return v.deviceSn->text() == serial;
    }));
    EXPECT_TRUE(readingBeforeSerial);
    EXPECT_EQ(wrongSerial, "");
    int firstSr = -1, firstSn = -1, index = 0;
    for (const auto& line : rig.bus.receivedLines()) {
        if (firstSr < 0 && line.text.ends_with(" SR")) firstSr = index;
        if (firstSn < 0 && line.text.ends_with(" SN")) firstSn = index;
        ++index;
    }
    EXPECT_GE(firstSr, 0);
    EXPECT_GT(firstSn, firstSr);
    // Then the board is read again.
    ASSERT_TRUE(rig.run([&] { return Near(v.tiltValue(), 10.0, 0.3); }));
    EXPECT_EQ(v.message->text(), "Reading Monitor");
}

TEST(MonitorPage, LeavingAndComingBack) {
    PageRig rig;
    rig.start();
    MonitorView v(rig);
    const QString serial = QString::fromStdString(rig.boardSerial());
    ASSERT_TRUE(rig.run([&] { return v.start->isEnabled() && v.deviceSn->text() == serial; }));
    v.selector->setCurrentIndex(0);  // sine
    rig.find<SpinEdit>("IntervalBox")->setText("15s");
    rig.sheet->selectPage(PageRig::kStatus);

    EXPECT_EQ(v.tilt->text(), "--.--");
    EXPECT_EQ(v.temperature->text(), "--");
    EXPECT_FALSE(v.start->isEnabled());
    EXPECT_FALSE(v.save->isEnabled());
    SharedData d = rig.shared();
    EXPECT_EQ(d.worker.requestCode, kStopRequest);
    EXPECT_EQ(rig.copies.logInterval, 15);
    EXPECT_EQ(d.settings.monitorUnitsUser, 0);
    EXPECT_EQ(rig.settings.values().monitorUnitsUser, 0);

    // Back again: the worker, stopped by the other page, reads the board again.
    rig.runFor(3000);
    rig.sheet->selectPage(PageRig::kMonitor);
    EXPECT_EQ(rig.find<SpinEdit>("IntervalBox")->text(), "15");
    EXPECT_EQ(v.selector->currentText(), "Sine");
    ASSERT_TRUE(rig.run([&] { return Near(v.tiltValue(), Sine(10.0), 0.01); }));
    EXPECT_TRUE(v.start->isEnabled());
}

TEST(MonitorPage, CalibrationModeSelectsVoltsOnEveryActivation) {
    PageRig rig({.calibrationMode = true});
    rig.start();
    MonitorView v(rig);
    EXPECT_EQ(v.entries(), (QStringList{"Cal", "Volts", "Bits"}));
    EXPECT_EQ(v.selector->currentText(), "Volts");
    EXPECT_EQ(v.units->text(), "V");
    EXPECT_EQ(rig.shared().settings.monitorUnits, kReadingVolts);
    const QString serial = QString::fromStdString(rig.boardSerial());
    const auto volts = [&] { return v.tiltValue() > 0.0 && v.tiltValue() < 5.0; };
    ASSERT_TRUE(rig.run([&] { return volts() && v.deviceSn->text() == serial; }));

    // Bits: the value in volts goes at once; the worker starts reading afresh,
    // which sets the new type on the boards, and the readings follow the board.
    v.selector->setCurrentIndex(2);
    EXPECT_EQ(v.units->text(), "Bit");
    EXPECT_EQ(v.tilt->text(), "--.--");
    EXPECT_EQ(rig.shared().settings.monitorUnits, kReadingRawBits);
    EXPECT_EQ(rig.shared().worker.requestCode, kStopRequest);
    ASSERT_TRUE(rig.run([&] { return v.tiltValue() > 100.0; }));
    const double bits = v.tiltValue();
    rig.bus.setTilt(0, -10.0);
    ASSERT_TRUE(rig.run([&] { return v.tiltValue() > 100.0 && std::abs(v.tiltValue() - bits) > 50; }));
    EXPECT_EQ(v.message->text(), "Reading Monitor");
    rig.sheet->selectPage(PageRig::kStatus);
    EXPECT_EQ(rig.shared().settings.monitorUnits, kReadingRawBits);

    rig.runFor(2000);
    rig.bus.clearReceivedLines();
    rig.sheet->selectPage(PageRig::kMonitor);
    EXPECT_EQ(v.selector->currentText(), "Volts");
    EXPECT_EQ(v.units->text(), "V");
    EXPECT_EQ(rig.shared().settings.monitorUnits, kReadingVolts);
    ASSERT_TRUE(rig.run([&] { return v.tiltValue() > 0.0 && v.tiltValue() < 5.0; }));
    bool voltsSent = false;
    for (const auto& line : rig.bus.receivedLines()) voltsSent |= line.text == "@@65535 RU 1";
    EXPECT_TRUE(voltsSent);
}

// After No on Exit the page reads again, in both modes; a reading that stops
// coming is taken off the screen with a word why.
TEST(MonitorPage, NoOnExitReadsAgainAndAStoppedReadingIsWithdrawn) {
    for (const bool calibration : {false, true}) {
        SCOPED_TRACE(calibration ? "calibration mode" : "monitor mode");
        PageRig rig({.calibrationMode = calibration, .exitPage = true});
        rig.start();
        MonitorView v(rig);
        const QString serial = QString::fromStdString(rig.boardSerial());
        ASSERT_TRUE(rig.run([&] { return std::isfinite(v.tiltValue()) && v.deviceSn->text() == serial; }));

        const double before = v.tiltValue();
        rig.sheet->selectPage(rig.sheet->pageCount() - 1);  // Exit, answered No
        ASSERT_TRUE(rig.run([&] { return !rig.notifier.shown.empty(); }, 24LL * 3600 * 1000));
        EXPECT_EQ(rig.notifier.shown.back().text, CPageExit::kQuestion);
        rig.bus.setTilt(0, 20.0);  // from 10 degrees
        ASSERT_TRUE(rig.run([&] {
            return std::abs(v.tiltValue() - before) > (calibration ? 0.05 : 5.0) &&
                   v.message->text() == "Reading Monitor";
        }));

        // Another page's request stops the readings: the last value goes.
        RequestRecord record;
        ASSERT_TRUE(rig.run([&] { return PostRequest(rig.state, record, kTriggerOffRequest); }));
        rig.runFor(MonitorLink::kFreshMs + 1000);
        EXPECT_EQ(v.tilt->text(), "--.--");
        EXPECT_EQ(v.temperature->text(), "--");
        EXPECT_EQ(v.message->text(), kNoNewReadingText);
        EXPECT_EQ(ColourName(v.status->background()), "yellow");
    }
}

// What goes wrong with the link is said in words on the status line, and the
// page recovers by itself when the cause goes away.
TEST(MonitorPage, LinkFailuresInWordsAndRecoveryOnItsOwn) {
    PageRig rig;
    rig.bus.unplug();
    rig.start();
    MonitorView v(rig);
    const QString serial = QString::fromStdString(rig.boardSerial());
    struct Step {
        std::function<void()> act;
        QString says;
    };
    const Step steps[] = {
        {[] {}, "Cannot open simulated-bus: no such device (unplugged?)"},
        {[&] { rig.bus.plug(); }, "Reading Monitor"},
        {[&] { rig.bus.setDropRate(1.0); }, QString::fromStdString(NoAnswerText("simulated-bus"))},
        {[&] { rig.bus.clearFaults(); }, "Reading Monitor"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_TRUE(rig.run([&] {
            return v.message->text() == step.says &&
                   (step.says != "Reading Monitor" || v.deviceSn->text() == serial);
        })) << step.says.toStdString() << " / " << v.message->text().toStdString();
        if (&step == &steps[0] || &step == &steps[2]) {
            QDir().mkpath(CLINORA_ARTIFACT_DIR);
            EXPECT_TRUE(rig.sheet->grab().save(
                QString(CLINORA_ARTIFACT_DIR) +
                (&step == &steps[0] ? "/monitor-port-failure.png" : "/monitor-no-answer.png")));
        }
    }
    rig.monitor->setAdapterSearch([](SerialPort&) { return -1; });
    rig.find<QPushButton>("Reconnect")->click();
    EXPECT_EQ(v.message->text(), kNoAdapterText);
}

TEST(MonitorPage, FahrenheitWhenTheStatusPageBoxIsTicked) {
    PageRig rig;
    rig.start();
    MonitorView v(rig);
    ASSERT_TRUE(rig.run([&] { return v.temperature->text().endsWith(QString::fromUtf8(" °C")); }));
    rig.sheet->selectPage(PageRig::kStatus);
    rig.find<QCheckBox>("Fahrenheit")->click();
    EXPECT_TRUE(rig.shared().settings.fahrenheit);
    rig.sheet->selectPage(PageRig::kMonitor);
    ASSERT_TRUE(rig.run([&] { return v.temperature->text().endsWith(QString::fromUtf8(" °F")); }));
    EXPECT_NEAR(v.temperature->text().section(' ', 0, 0).toDouble(), 25.0 * 1.8 + 32.0, 1.0);
}

TEST(MonitorPage, UsbSearchMessagesAtFirstDisplayAndOnReconnect) {
    PageRig rig;
    rig.state.locked([](SharedData& d) { d.worker.comPortNumber = 7; });
    rig.settings.update([](SettingsValues& s) { s.deviceChoice = 5; });
    rig.monitor->setAdapterSearch([](SerialPort&) { return -1; });
    rig.start();
    MonitorView v(rig);
    ASSERT_EQ(rig.notifier.shown.size(), 1u);
    EXPECT_EQ(rig.notifier.shown.back().kind, "message");
    EXPECT_EQ(rig.notifier.shown.back().text,
              "USB connection failed.\nCheck connection and click Connect.");
    SharedData d = rig.shared();
    EXPECT_FALSE(d.worker.usbPortFound);
    EXPECT_EQ(d.worker.comPortNumber, 0);
    EXPECT_EQ(rig.settings.values().deviceChoice, 0);
    EXPECT_EQ(d.worker.requestCode, kConnectRequest);  // posted all the same
    EXPECT_EQ(ColourName(v.port->background()), "red");

    rig.runFor(3000);  // no port selected: nothing opens
    EXPECT_EQ(ColourName(v.port->background()), "red");
    EXPECT_NE(v.message->text(), "Port open");
    auto* reconnect = rig.find<QPushButton>("Reconnect");
    reconnect->click();
    ASSERT_EQ(rig.notifier.shown.size(), 2u);
    EXPECT_EQ(rig.notifier.shown.back().text,
              "USB connection failed.\nCheck connection and click Reset.");
    EXPECT_FALSE(rig.shared().worker.requestPending);

    rig.monitor->setAdapterSearch(&FindUsbSerialPort);  // the pinned simulated bus
    reconnect->click();
    EXPECT_EQ(rig.notifier.shown.size(), 2u);
    d = rig.shared();
    EXPECT_TRUE(d.worker.usbPortFound);
    EXPECT_TRUE(d.worker.requestPending);
    EXPECT_EQ(d.worker.requestCode, kConnectRequest);
    ASSERT_TRUE(rig.run([&] { return v.message->text() == "Reading Monitor"; }));
}

TEST(MonitorPage, IconOpensTheAboutBox) {
    PageRig rig;
    rig.start();
    QString title;
    QTimer::singleShot(50, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            title = box->windowTitle();
            box->close();
        }
    });
    rig.find<QToolButton>("AboutIcon")->click();
    EXPECT_EQ(title, "About Orvano");
}

}  // namespace
}  // namespace clinora
