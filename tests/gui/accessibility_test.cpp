// Every control can be found by name: the accessibility tree of the whole
// program and of the shared dialogs, read through QAccessible.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "accessibility_walk.h"
#include "cal_dialog_rig.h"
#include "demo_app.h"
#include "gui/about_box.h"
#include "gui/check_group_box.h"
#include "gui/history_window.h"
#include "gui/main_frame.h"
#include "gui/property_sheet.h"
#include "gui/timed_message_box.h"
#include "page_rig.h"
#include "pages/cal_setup_dialog.h"
#include "pages/file_browse_dialog.h"

namespace clinora {
namespace {

using testing::AccessibilityFaults;
using testing::AccessibleNode;
using testing::AccessibleNodes;
using testing::PageRig;

// What a screen reader hears of a widget: name, value, description.
QString Heard(QWidget* widget, QAccessible::Text what) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
    return node ? node->text(what) : QString("(not in the tree)");
}

// The program as the demo starts it (calibration mode: every page of the
// sheet is there), main window, menu, sheet, pages and fixture panel.
TEST(Accessibility, EveryPageOfTheSheetNamesEveryControl) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CCePropertySheet* sheet = demo.app.frame()->pageHost()->sheet();
    ASSERT_EQ(sheet->tabTitles(),
              (QStringList{"Monitor", "Settings", "Cal", "Test", "Status", "Exit"}));
    const QStringList faults = AccessibilityFaults(demo.app.frame());
    EXPECT_TRUE(faults.isEmpty()) << faults.size() << " faults:\n"
                                  << faults.join('\n').toStdString();
    // The History window, a window of its own.
    demo.app.frame()->openHistory();
    const QStringList history = AccessibilityFaults(demo.app.frame()->historyWindow());
    EXPECT_TRUE(history.isEmpty()) << history.join('\n').toStdString();
}

// Every selector of the sheet says its current choice, as its value and in
// its name (which a screen reader on AT-SPI reads as a selector's content),
// and follows a new choice; the Status list's columns are named.
TEST(Accessibility, SelectorsSayTheirChoiceAndListColumnsTheirNames) {
    testing::DemoApp demo;
    ASSERT_TRUE(demo.app.start());
    CMainFrame* frame = demo.app.frame();
    int selectors = 0;
    for (QComboBox* box : frame->findChildren<QComboBox*>()) {
        if (box->accessibleName().isEmpty() || box->currentText().isEmpty()) continue;
        SCOPED_TRACE(box->objectName().toStdString());
        ++selectors;
        EXPECT_EQ(Heard(box, QAccessible::Value), box->currentText());
        EXPECT_EQ(Heard(box, QAccessible::Name), box->accessibleName() + ": " + box->currentText());
        if (box->count() < 2) continue;
        box->setCurrentIndex((box->currentIndex() + 1) % box->count());
        EXPECT_EQ(Heard(box, QAccessible::Value), box->currentText());
    }
    EXPECT_GE(selectors, 6);
    CCePropertySheet* sheet = frame->pageHost()->sheet();
    sheet->selectPage(sheet->pageCount() - 2);  // Status
    auto* list = frame->findChild<QWidget*>("StatusList");
    ASSERT_NE(list, nullptr);
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(list);
    QStringList headers;
    for (int i = 0; i < tree->childCount(); ++i)
        if (tree->child(i)->role() == QAccessible::ColumnHeader)
            headers << tree->child(i)->text(QAccessible::Name);
    EXPECT_EQ(headers, (QStringList{"Property", "Value"}));
}

TEST(Accessibility, SharedDialogsNameEveryControl) {
    CAboutDlg about;
    CTimedMessageBoxDlg message;
    message.open(0, "Read Axis first.");
    QWidget host;
    auto* group = new CheckGroupBox("Axis flags", &host);
    auto* inside = new QLineEdit(group);
    inside->setAccessibleName("Flags");
    (new QVBoxLayout(group))->addWidget(inside);
    (new QVBoxLayout(&host))->addWidget(group);
    for (QWidget* root : std::initializer_list<QWidget*>{&about, &message, &host}) {
        const QStringList faults = AccessibilityFaults(root);
        EXPECT_TRUE(faults.isEmpty()) << root->metaObject()->className() << ":\n"
                                      << faults.join('\n').toStdString();
    }
    // The group is known by its caption, not by the blanks its frame shows.
    QAccessibleInterface* groupNode = QAccessible::queryAccessibleInterface(group);
    ASSERT_NE(groupNode, nullptr);
    EXPECT_EQ(groupNode->text(QAccessible::Name), "Axis flags");
    message.close();
}

// The calibration dialogs: no control without a name, and each control a
// screen reader user looks for is there by its name.
TEST(Accessibility, CalibrationDialogsNameEveryControl) {
    testing::CalDialogRig rig({"12", "123"});
    rig.write("00012_CAL_DATA_AXIS_A_05-14-24.csv");
    CCalSetupDlg setup(rig.context);
    CFileBrowseDlg browse(rig.context);
    setup.show();
    browse.show();
    using R = QAccessible::Role;
    const std::pair<QWidget*, std::vector<std::pair<R, QString>>> dialogs[] = {
        {&setup,
         {{R::CheckBox, "Averaging "},
          {R::EditableText, "Average Number"},
          {R::PushButton, "Increase average number"},
          {R::CheckBox, "Bar"},
          {R::CheckBox, "Play sound"},
          {R::ComboBox, "Sound File to Play"},
          {R::CheckBox, "Range Check"},
          {R::EditableText, "Cal"},
          {R::EditableText, "Cal Test"},
          {R::CheckBox, "Append data"},
          {R::ComboBox, "Digit #"},
          {R::CheckBox, "Continuous Read"},
          {R::CheckBox, "Set Type and Axis to All devices"},
          {R::CheckBox, "Diagnostic Mode (for testing only)"},
          {R::EditableText, "Operator"},
          {R::EditableText, "Station"},
          {R::EditableText, "Laboratory"},
          {R::EditableText, "Laboratory address"},
          {R::EditableText, "City"},
          {R::EditableText, "Country"},
          {R::EditableText, "E-mail"},
          {R::PushButton, "OK"},
          {R::PushButton, "Cancel"}}},
        {&browse,
         {{R::List, "Calibration files"},
          {R::ComboBox, "Board Address"},
          {R::CheckBox, "Filter Files"},
          {R::CheckBox, "Biaxial File"},
          {R::PushButton, "Read File In"},
          {R::PushButton, "Cancel"}}},
    };
    for (const auto& [root, expected] : dialogs) {
        SCOPED_TRACE(root->windowTitle().toStdString());
        const QStringList faults = AccessibilityFaults(root);
        EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
        const std::vector<AccessibleNode> nodes = AccessibleNodes(root);
        for (const auto& [role, name] : expected) {
            // A selector's name carries its choice: "Digit #: 4".
            const auto count = std::count_if(nodes.begin(), nodes.end(), [&](const auto& n) {
                return n.role == role &&
                       (n.name == name || (role == R::ComboBox && n.name.startsWith(name + ": ")));
            });
            EXPECT_EQ(count, 1) << name.toStdString();
        }
    }
    setup.close();
    browse.close();
}

// The Monitor page's controls found by role and name in the tree, each once
// (the captions tied to them aside), with the value and the state text a
// screen reader reads.
TEST(Accessibility, MonitorControlsByNameWithTheirValues) {
    PageRig rig;
    rig.start();
    auto* tilt = rig.find<QLabel>("TiltReadout");
    const QString serial = QString::fromStdString(rig.boardSerial());
    ASSERT_TRUE(rig.run([&] {
        bool number = false;
        tilt->text().toDouble(&number);
        return number && rig.find<QLabel>("DeviceSN")->text() == serial;
    }));
    const std::vector<AccessibleNode> nodes = AccessibleNodes(rig.monitor);
    struct Expected {
        QAccessible::Role role;
        QString name;
        QString value;        // what the control shows
        QString description;  // what its colour means
    };
    const Expected table[] = {
        {QAccessible::StaticText, "Tilt", tilt->text(), ""},
        {QAccessible::StaticText, "Tilt units", "Deg", ""},
        {QAccessible::ComboBox, "Units: Degrees", "Degrees", ""},
        {QAccessible::StaticText, "Temperature", rig.find<QLabel>("TemperatureReadout")->text(),
         ""},
        {QAccessible::EditableText, "Interval (s)", "2", ""},
        {QAccessible::PushButton, "Increase interval", "", ""},
        {QAccessible::PushButton, "Decrease interval", "", ""},
        {QAccessible::StaticText, "Logging", "", "not logging"},
        {QAccessible::EditableText, "Label", "", ""},
        {QAccessible::StaticText, "Save status", " ", ""},
        {QAccessible::StaticText, "Device SN", serial, ""},
        {QAccessible::StaticText, "Port", "", "board found"},
        {QAccessible::StaticText, "Status", "", "reading"},
        {QAccessible::StaticText, "Status message", "Reading Monitor", ""},
        {QAccessible::PushButton, "About", "", "About"},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name.toStdString());
        std::vector<const AccessibleNode*> found;
        for (const AccessibleNode& n : nodes) {
            const auto* caption = qobject_cast<QLabel*>(n.object);
            if (n.role == e.role && n.name == e.name && !(caption && caption->buddy()))
                found.push_back(&n);
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0]->value, e.value);
        EXPECT_EQ(found[0]->description, e.description);
    }
    // The read-out's words also come through the text interface, which is
    // what the AT-SPI bridge gives a screen reader for a label.
    QAccessibleTextInterface* words = QAccessible::queryAccessibleInterface(tilt)->textInterface();
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words->text(0, words->characterCount()), tilt->text());

    // The named selector still offers its list and opens and closes by its action.
    auto* selector = rig.find<QComboBox>("UnitSelector");
    QAccessibleInterface* units = QAccessible::queryAccessibleInterface(selector);
    ASSERT_EQ(units->childCount(), 1);
    EXPECT_EQ(units->child(0)->role(), QAccessible::List);
    EXPECT_EQ(units->indexOfChild(units->child(0)), 0);
    units->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(selector->view()->isVisible());
    units->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_FALSE(selector->view()->isVisible());

    // The logging lamp blinks while logging; its words say so throughout.
    auto* lamp = rig.find<ColourBox>("LoggingIndicator");
    rig.find<QPushButton>("StartStop")->click();
    ASSERT_TRUE(rig.run([&] { return lamp->background() == colours::kRed; }));
    EXPECT_EQ(Heard(lamp, QAccessible::Description), "logging");
    ASSERT_TRUE(rig.run([&] { return lamp->background() == colours::kWhite; }));
    EXPECT_EQ(Heard(lamp, QAccessible::Description), "logging");
    rig.find<QPushButton>("StartStop")->click();
    ASSERT_TRUE(rig.run([&] { return Heard(lamp, QAccessible::Description) == "not logging"; }));
}

// The Port and Status indicators' words, read through the tree after every
// pass of the worker: connecting, the boards falling silent, the adapter
// unplugged, and back.
TEST(Accessibility, PortIndicatorSaysOpenAndNoAnswer) {
    PageRig rig;
    auto* port = rig.find<ColourBox>("PortIndicator");
    auto* status = rig.find<ColourBox>("StatusIndicator");
    EXPECT_EQ(Heard(port, QAccessible::Name), "Port");
    EXPECT_EQ(Heard(status, QAccessible::Name), "Status");
    QStringList portHeard, statusHeard;
    auto listen = [&] {
        const QString p = Heard(port, QAccessible::Description);
        const QString s = Heard(status, QAccessible::Description);
        if (portHeard.isEmpty() || portHeard.back() != p) portHeard << p;
        if (statusHeard.isEmpty() || statusHeard.back() != s) statusHeard << s;
    };
    // Heard in this order (others may come between); the port ends on its last.
    struct Phase {
        std::function<void()> act;
        QStringList port, status;
        std::function<bool()> settled = [] { return true; };
    };
    // The connect ends once the identity read after the first reading is in
    // and the board is read again.
    const QString serial = QString::fromStdString(rig.boardSerial());
    auto identityRead = [&] {
        return rig.find<ColourBox>("DeviceSN")->text() == serial && statusHeard.back() == "reading";
    };
    const Phase phases[] = {
        {[&] { rig.start(); },
         {"adapter found", "open", "board found"},
         {"not reading", "reading"},
         identityRead},
        {[&] { rig.bus.setDropRate(1.0); }, {"board found", "no answer"}, {"reading", "no answer"}},
        {[&] { rig.bus.unplug(); }, {"closed"}, {}},
        {[&] { rig.bus.plug(), rig.bus.clearFaults(); }, {"open", "board found"}, {"reading"}},
    };
    auto inOrder = [](const QStringList& heard, const QStringList& expected) {
        qsizetype at = 0;
        for (const QString& step : expected)
            if ((at = heard.indexOf(step, at)) < 0) return false;
        return true;
    };
    for (const Phase& phase : phases) {
        portHeard.clear();
        statusHeard.clear();
        phase.act();
        listen();
        EXPECT_TRUE(rig.run([&] {
            listen();
            return portHeard.back() == phase.port.back() && inOrder(portHeard, phase.port) &&
                   inOrder(statusHeard, phase.status) && phase.settled();
        })) << "port: "
            << portHeard.join(", ").toStdString()
            << "\nstatus: " << statusHeard.join(", ").toStdString();
    }
}

}  // namespace
}  // namespace clinora
