#pragma once

#include <array>

#include "app/settings_page_model.h"
#include "gui/sheet_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace clinora {

class ColourBox;

// "Settings" (calibration mode): the calibration set, the pool of spare
// addresses and the archive of used ones; giving a fresh board its address,
// changing an address, and reading and writing each board's sensor settings
// and axis flags through the worker. The rules are SettingsPageModel's; the
// page renders it and carries out what it asks.
class CPageSettings : public SheetPage {
    Q_OBJECT
public:
    // The pause before the boards are told to stop triggering after
    // activation, and before "Adapter" > "Set" goes out.
    static constexpr int kWaitMs = 1000;
    // The status box changes colour this often while it flashes.
    static constexpr int kFlashMs = 1000;

    explicit CPageSettings(PageContext& context, QWidget* parent = nullptr);
    ~CPageSettings() override;

    bool onSetActive() override;
    bool onKillActive() override;
    QString leaveQuestion() const override {
        return QString::fromStdString(model_.leaveQuestion());
    }

    const SettingsPageModel& model() const { return model_; }

protected:
    void onWorkerEvent(int code, int detail) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Layout (page_settings_view.cpp).
    void buildView();
    QWidget* buildLists();
    QWidget* buildAddressRows();
    QWidget* buildSensorRows();
    QGroupBox* buildAxisGroup();
    QWidget* buildKeypad();
    void buildMenu();

    // Behaviour.
    void render();
    void renderLists();
    void apply(const SettingsEffect& effect);
    void act(SettingsEffect (SettingsPageModel::*action)());
    void submit(const WorkerRequest& request);
    void onKeypad(int key);
    void onUsed();
    void onResetAll();
    void sendActivationRequest();
    void sendModeZero();

    SettingsPageModel model_;
    bool firstDisplayDone_ = false;
    // Children of the page, found by their names in tests.
    QTimer* activationWait_;
    QTimer* adapterWait_;
    QTimer* flash_;

    QListWidget* setList_ = nullptr;
    QListWidget* poolList_ = nullptr;
    std::array<QLineEdit*, 4> entries_{};  // by EntryBox
    QLabel* typeText_ = nullptr;
    QGroupBox* typeGroup_ = nullptr;
    QComboBox* typeSelector_ = nullptr;
    std::array<QComboBox*, 3> sensors_{};
    QPushButton* sensorRead_ = nullptr;
    QPushButton* sensorWrite_ = nullptr;
    QGroupBox* axisGroup_ = nullptr;
    std::array<QCheckBox*, 3> axisChecks_{};
    QLabel* axisHint_ = nullptr;
    QPushButton* axisRead_ = nullptr;
    QPushButton* axisWrite_ = nullptr;
    QComboBox* tiltRange_ = nullptr;
    ColourBox* status_ = nullptr;
    QLabel* addressOutcome_ = nullptr;
    QPushButton* options_ = nullptr;
    QMenu* menu_ = nullptr;
};

}  // namespace clinora
