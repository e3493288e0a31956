// The Status page against the worker and a simulated board on virtual time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "gui_test_support.h"
#include "link/worker_codes.h"
#include "page_rig.h"

namespace clinora {
namespace {

using testing::PageRig;
using testing::WaitFor;

QStringList Rows(const PageRig& rig) {
    QStringList rows;
    auto* list = rig.find<QTreeWidget>("StatusList");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
    return rows;
}

const QStringList kEmptyRows = {"Firmware ver :|", "Board rev :|", "Serial Number :|"};

TEST(StatusPage, UpdateBeforeAnyBoardAnsweredSendsNothing) {
    PageRig rig;
    rig.monitor->setAdapterSearch([](SerialPort&) { return -1; });
    rig.start();
    rig.runFor(1000);  // the connect request is taken; no board answers
    rig.sheet->selectPage(PageRig::kStatus);
    rig.run([&] { return !rig.shared().worker.requestPending; });  // the Monitor's stop
    EXPECT_EQ(Rows(rig), kEmptyRows);
    const uint32_t before = rig.shared().worker.lastRequestCode;
    rig.find<QPushButton>("Update")->click();
    EXPECT_EQ(Rows(rig), kEmptyRows);
    EXPECT_EQ(rig.shared().worker.lastRequestCode, before);
    EXPECT_FALSE(rig.shared().worker.requestPending);
    // ... and says why nothing comes.
    auto* note = rig.find<QLabel>("UpdateNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith("No board has answered yet")) << note->text().toStdString();
}

TEST(StatusPage, UpdateShowsTheIdentityOfTheBoardFound) {
    PageRig rig;
    rig.start();
    ASSERT_TRUE(rig.run([&] { return !rig.shared().readings.foundAddress.empty(); }));
    rig.runFor(5000);
    rig.sheet->selectPage(PageRig::kStatus);
    rig.run([&] { return !rig.shared().worker.requestPending; });  // the Monitor's stop
    EXPECT_EQ(Rows(rig), kEmptyRows);
    rig.state.locked([](SharedData& d) { d.readings.serialNumber.clear(); });
    rig.find<QPushButton>("Update")->click();
    const SharedData d = rig.shared();
    EXPECT_EQ(d.worker.requestCode, kDeviceInfoRequest);
    EXPECT_EQ(d.request.targetAddress, "101");
    ASSERT_TRUE(rig.run([&] { return Rows(rig) != kEmptyRows; }));
    EXPECT_EQ(Rows(rig),
              (QStringList{"Firmware ver :|1.500", "Board rev :|2.000",
                           "Serial Number :|" + QString::fromStdString(rig.boardSerial())}));
    // Every row fits its columns.
    auto* list = rig.find<QTreeWidget>("StatusList");
    const QFontMetrics metrics(list->font());
    EXPECT_EQ(list->columnWidth(0), metrics.horizontalAdvance("Serial Number :") + 10);
    EXPECT_GE(list->columnWidth(1), metrics.horizontalAdvance("1.500") + 140);

    // Coming back clears the values until the next Update.
    rig.sheet->selectPage(PageRig::kMonitor);
    rig.sheet->selectPage(PageRig::kStatus);
    EXPECT_EQ(Rows(rig), kEmptyRows);
}

TEST(StatusPage, ActivationTellsTheBoardsToStopAboutASecondLater) {
    PageRig rig;
    rig.start();
    ASSERT_TRUE(rig.run([&] { return rig.shared().worker.state == kStateSingleReading; }));
    rig.sheet->selectPage(PageRig::kStatus);
    rig.run([&] { return !rig.shared().worker.requestPending; });  // the Monitor's stop
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(WaitFor([&] { return rig.shared().worker.requestPending; }, 3000));
    EXPECT_GE(elapsed.elapsed(), CPageStatus::kTriggerOffDelayMs - 100);
    EXPECT_LE(elapsed.elapsed(), CPageStatus::kTriggerOffDelayMs + 500);
    EXPECT_EQ(rig.shared().worker.requestCode, kTriggerOffRequest);
    ASSERT_TRUE(rig.run([&] { return rig.shared().worker.state == kStateHeartbeat; }));

    // Leaving within the second cancels it, so the next page's work goes on.
    rig.sheet->selectPage(PageRig::kMonitor);
    rig.run([&] { return !rig.shared().worker.requestPending; });
    rig.sheet->selectPage(PageRig::kStatus);
    rig.sheet->selectPage(PageRig::kMonitor);
    rig.run([&] { return !rig.shared().worker.requestPending; });
    QTest::qWait(CPageStatus::kTriggerOffDelayMs + 200);
    EXPECT_FALSE(rig.shared().worker.requestPending);
    EXPECT_NE(rig.shared().worker.lastRequestCode, kTriggerOffRequest);
}

TEST(StatusPage, FahrenheitBoxFollowsTheWorkingCopy) {
    PageRig rig;
    rig.state.locked([](SharedData& d) { d.settings.fahrenheit = true; });
    rig.start();
    rig.sheet->selectPage(PageRig::kStatus);
    auto* box = rig.find<QCheckBox>("Fahrenheit");
    EXPECT_EQ(box->text(), "Fahrenheit units");
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(rig.shared().settings.fahrenheit);
}

}  // namespace
}  // namespace clinora
