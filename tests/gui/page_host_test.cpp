#include "gui/page_host.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTabWidget>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/address_lists.h"
#include "app/app_files.h"
#include "app/app_settings.h"
#include "app/page_copies.h"
#include "gui/property_sheet.h"
#include "gui/scripted_notifier.h"
#include "gui/sheet_page.h"
#include "gui_test_support.h"
#include "link/event_sink.h"
#include "link/shared_state.h"
#include "link/worker_codes.h"
#include "sim/sim_bus.h"

namespace clinora {
namespace {

using testing::WaitFor;

// A page that records the worker's events it receives.
class RecordingPage : public SheetPage {
public:
    using SheetPage::SheetPage;
    std::vector<std::pair<int, int>> events;
    std::vector<int> portStatus;

protected:
    void onWorkerEvent(int code, int detail) override { events.push_back({code, detail}); }
    void onPortStatus(int status) override { portStatus.push_back(status); }
};

// A page host on a working folder, with a shared state whose worker counts
// as started (no thread: requests just stay pending).
class PageHostTest : public ::testing::Test {
protected:
    PageHostTest() : bus(clock), port(bus), state(port), settings(store) {
        files.workingFolder = dir.path().toStdString() + "/";
        write(kCurrentAddressFile, "Current Addresses File\r\n101\r\n");
        write(kPoolAddressFile, "Addresses Pool File\r\n104\r\n");
        write(kUsedAddressFile, "Used Addresses File\r\n90\r\n");
        state.locked([](SharedData& d) { d.worker.started = true; });
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(files.path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) {
        std::ifstream in(files.path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    PageHost& host() {
        if (!host_) {
            host_ = std::make_unique<PageHost>();
            host_->setSharedState(&state);
            PageContext& c = host_->context();
            c.settings = &settings;
            c.files = &files;
            c.copies = &copies;
            c.notifier = &notifier;
            c.mainWindow = &mainWindow;
            PageMakers makers;
            makers.monitor = [](PageContext& context, QWidget* parent) {
                return new RecordingPage("Monitor", context, parent);
            };
            host_->setUp(makers);
            host_->show();
        }
        return *host_;
    }
    CCePropertySheet& sheet() { return *host().sheet(); }

    QTemporaryDir dir;
    VirtualClock clock;
    sim::SimBus bus;
    SerialPort port;
    SharedState state;
    MemorySettingsStore store;
    AppSettings settings;
    AppFiles files;
    PageCopies copies;
    ScriptedNotifier notifier;
    QWidget mainWindow;
    std::unique_ptr<PageHost> host_;
};

TEST_F(PageHostTest, PagesWithCalibrationIni) {
    write("calibration.ini", "");
    EXPECT_EQ(sheet().tabTitles(),
              (QStringList{"Monitor", "Settings", "Cal", "Test", "Status", "Exit"}));
    EXPECT_EQ(sheet().activeIndex(), 0);
    EXPECT_EQ(state.snapshot().currentAddresses, std::vector<std::string>{"101"});
}

TEST_F(PageHostTest, PagesWithoutCalibrationIniOrWithAnInvalidAddress) {
    EXPECT_EQ(sheet().tabTitles(), (QStringList{"Monitor", "Status", "Exit"}));
    host_.reset();
    write("calibration.ini", "");
    write(kCurrentAddressFile, "Current Addresses File\r\n65536\r\n");
    EXPECT_EQ(sheet().tabTitles(), (QStringList{"Monitor", "Status", "Exit"}));
}

TEST_F(PageHostTest, ActivePageReceivesTheWorkersEventsInOrder) {
    auto* monitor = static_cast<RecordingPage*>(sheet().page(0));
    auto sink = state.snapshot().worker.currentPage.lock();
    ASSERT_TRUE(sink);
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) sink->post(kWorkerEventMessage, kEventBoardRead, i);
        sink->post(kPortStatusMessage, kPortStatusFirst, kPortNotSelected);
    });
    worker.join();
    EXPECT_TRUE(monitor->events.empty());  // queued, not sent
    ASSERT_TRUE(WaitFor([&] { return monitor->portStatus.size() == 1; }));
    ASSERT_EQ(monitor->events.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(monitor->events[i].second, i);
    EXPECT_EQ(monitor->portStatus.front(), kPortNotSelected);

    // Another page takes over; events to a page that is gone go nowhere.
    sheet().selectPage(1);
    EXPECT_EQ(state.snapshot().worker.currentPage.lock().get(), sheet().page(1)->eventSink().get());
    host_.reset();
    sink->post(kWorkerEventMessage, kEventHeartbeat, 13);
    QCoreApplication::processEvents();
}

TEST_F(PageHostTest, ExitAnsweredNoLeavesEverythingAndStaysOnThePage) {
    write("calibration.ini", "");
    sheet().selectPage(4);  // Status
    settings.update([](SettingsValues& v) { v.tiltRange = 15; });
    copies.tiltRange = 90;
    state.locked([](SharedData& d) { d.addressPool.push_back("105"); });
    notifier.answers = {false};
    sheet().selectPage(5);
    EXPECT_EQ(sheet().activeIndex(), 4);
    ASSERT_TRUE(WaitFor([&] { return !notifier.shown.empty(); }));
    EXPECT_EQ(notifier.shown.front().kind, "question");
    EXPECT_EQ(notifier.shown.front().text, "Do you want to exit Clinora?");
    EXPECT_EQ(state.snapshot().worker.requestCode, kTriggerOffRequest);  // told to stop anyway
    EXPECT_EQ(sheet().activeIndex(), 4);
    EXPECT_EQ(sheet().tabs()->currentIndex(), 4);
    EXPECT_FALSE(sheet().ended());
    EXPECT_EQ(settings.values().tiltRange, 15);
    EXPECT_EQ(read(kPoolAddressFile), "Addresses Pool File\r\n104\r\n");
    EXPECT_EQ(read(kCurrentAddressFile), "Current Addresses File\r\n101\r\n");
}

TEST_F(PageHostTest, ExitWithoutCalibrationModeWritesOnlyThePool) {
    bool closed = false;
    mainWindow.show();
    struct CloseWatch : QObject {
        bool* closed;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Close) *closed = true;
            return false;
        }
    } watch;
    watch.closed = &closed;
    mainWindow.installEventFilter(&watch);
    int result = -1;
    QObject::connect(&sheet(), &CCePropertySheet::finished, [&](int r) { result = r; });
    state.locked([](SharedData& d) {
        d.addressPool.push_back("105");
        d.currentAddresses.push_back("999");  // not written: no calibration mode
    });
    copies.tiltRange = 45;
    notifier.answers = {true};
    sheet().selectPage(sheet().pageCount() - 1);
    ASSERT_TRUE(WaitFor([&] { return closed; }));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(read(kPoolAddressFile), "Addresses Pool File\r\n104\r\n105\r\n");
    EXPECT_EQ(read(kCurrentAddressFile), "Current Addresses File\r\n101\r\n");
    EXPECT_EQ(read(kUsedAddressFile), "Used Addresses File\r\n90\r\n");
    EXPECT_EQ(settings.values().tiltRange, 45);
}

}  // namespace
}  // namespace clinora
