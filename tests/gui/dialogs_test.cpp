#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/check_group_box.h"
#include "gui/timed_message_box.h"
#include "gui_test_support.h"

namespace clinora {
namespace {

using testing::WaitFor;

TEST(TimedMessageBox, NegativeTimeoutClosesAfterThreeSeconds) {
    VirtualClock clock(50'000);
    CTimedMessageBoxDlg box(nullptr, &clock);
    box.open(-5, "Already exists.");
    ASSERT_TRUE(box.isVisible());
    EXPECT_EQ(box.timeoutSeconds(), 3);
    EXPECT_EQ(box.deadlineMs(), 53'000);
    EXPECT_EQ(box.windowTitle(), "Message");
    EXPECT_EQ(box.text(), "Already exists.");
    clock.advance(2'999);
    QTest::qWait(3 * CTimedMessageBoxDlg::kTickMs);
    EXPECT_TRUE(box.isVisible());
    clock.advance(1);
    EXPECT_TRUE(WaitFor([&] { return !box.isVisible(); }, 2000));
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(TimedMessageBox, ZeroStaysUntilCancel) {
    VirtualClock clock;
    CTimedMessageBoxDlg box(nullptr, &clock);
    box.open(0, "Read Axis first.");
    EXPECT_EQ(box.deadlineMs(), 0);
    clock.advance(3'600'000);
    QTest::qWait(3 * CTimedMessageBoxDlg::kTickMs);
    ASSERT_TRUE(box.isVisible());
    auto* cancel = box.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    cancel->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Rejected);
}

TEST(TimedMessageBox, ReusedBoxStartsAFreshDeadline) {
    VirtualClock clock;
    CTimedMessageBoxDlg box(nullptr, &clock);
    box.open(2, "first");
    clock.advance(2'000);
    ASSERT_TRUE(WaitFor([&] { return !box.isVisible(); }, 2000));
    box.open(2, "second");
    QTest::qWait(3 * CTimedMessageBoxDlg::kTickMs);
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.deadlineMs(), 4'000);
    box.reject();
}

// A dialog with a check group holding an edit and a label.
struct GroupDialog {
    QWidget dialog;
    CheckGroupBox* group = new CheckGroupBox("Averaging", &dialog);
    QLineEdit* edit = new QLineEdit(group);
    QLabel* label = new QLabel("Readings", group);
    GroupDialog() {
        auto* layout = new QVBoxLayout(group);
        layout->addWidget(label);
        layout->addWidget(edit);
    }
};

TEST(CheckGroupBox, CheckSwitchesTheContents) {
    GroupDialog d;
    d.group->setCheck(false);
    EXPECT_FALSE(d.group->getCheck());
    EXPECT_FALSE(d.edit->isEnabled());
    EXPECT_FALSE(d.label->isEnabled());
    d.group->setCheck(true);
    EXPECT_TRUE(d.edit->isEnabled());
    EXPECT_TRUE(d.group->checkBox()->isEnabled());
}

TEST(CheckGroupBox, UserToggleSwitchesContentsThenTellsTheOwner) {
    GroupDialog d;
    d.group->setCheck(true);
    std::vector<std::pair<bool, bool>> seen;  // (checked, edit enabled) at the signal
    QObject::connect(d.group, &CheckGroupBox::clicked, [&](bool checked) {
        seen.push_back({checked, d.edit->isEnabled()});
    });
    d.dialog.show();
    d.group->checkBox()->click();
    d.group->checkBox()->click();
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{false, false}, {true, true}}));
}

TEST(CheckGroupBox, UntickedGroupKeepsContentsDisabledWhenEnabled) {
    GroupDialog d;
    d.group->setCheck(false);
    d.group->setEnabled(false);
    EXPECT_FALSE(d.group->checkBox()->isEnabled());
    d.group->setEnabled(true);
    EXPECT_TRUE(d.group->checkBox()->isEnabled());
    EXPECT_FALSE(d.edit->isEnabled());
    d.group->setCheck(true);
    d.group->setEnabled(false);
    EXPECT_FALSE(d.edit->isEnabled());
    d.group->setEnabled(true);
    EXPECT_TRUE(d.edit->isEnabled());
}

TEST(CheckGroupBox, LabelsLeftAloneOnRequest) {
    GroupDialog d;
    d.group->setLeaveLabelsAlone(true);
    d.group->setCheck(false);
    EXPECT_FALSE(d.edit->isEnabled());
    EXPECT_TRUE(d.label->isEnabled());
}

TEST(CheckGroupBox, CaptionMovesToTheCheckBox) {
    GroupDialog d;
    EXPECT_EQ(d.group->checkBox()->text(), "Averaging");
    EXPECT_EQ(d.group->checkBox()->property("controlId").toInt(), 65534);
    EXPECT_TRUE(d.group->title().trimmed().isEmpty());
    const QFontMetrics metrics(d.group->font());
    EXPECT_GE(metrics.horizontalAdvance(d.group->title()),
              metrics.horizontalAdvance("Averaging") + 37);
    EXPECT_EQ(d.group->focusProxy(), d.group->checkBox());
    d.group->setCheck(true);
    d.dialog.resize(240, 120);
    d.dialog.show();
    QDir().mkpath(CLINORA_ARTIFACT_DIR);
    d.dialog.grab().save(CLINORA_ARTIFACT_DIR "/check-group-box.png");
}

}  // namespace
}  // namespace clinora
