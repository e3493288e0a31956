#include "pages/page_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/app_settings.h"
#include "app/page_copies.h"
#include "gui/colour_box.h"
#include "gui/notifier.h"
#include "link/shared_state.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"

namespace clinora {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const QColor kLightRed{255, 180, 180};
const QColor kLightBlue{180, 180, 255};

QColor ColourOf(BoxColour colour) {
    switch (colour) {
        case BoxColour::Green:
            return colours::kGreen;
        case BoxColour::LightRed:
            return kLightRed;
        case BoxColour::LightBlue:
            return kLightBlue;
        case BoxColour::White:
            break;
    }
    return colours::kWhite;
}

// An address box painted in its colour, with the colour's meaning in words.
void Paint(QLineEdit* edit, BoxColour colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, ColourOf(colour));
    edit->setPalette(p);
    edit->setAccessibleDescription(Q(BoxColourMeaning(colour)));
}

void SetText(QPushButton* button, const std::string& text) { button->setText(Q(text)); }

void Select(QComboBox* box, int entry) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(entry);
}

}  // namespace

CPageSettings::CPageSettings(PageContext& context, QWidget* parent)
    : SheetPage("Settings", context, parent),
      activationWait_(new QTimer(this)),
      adapterWait_(new QTimer(this)),
      flash_(new QTimer(this)) {
    buildView();
    activationWait_->setObjectName("ActivationWait");
    adapterWait_->setObjectName("AdapterWait");
    flash_->setObjectName("Flash");
    for (QTimer* wait : {activationWait_, adapterWait_}) {
        wait->setSingleShot(true);
        wait->setInterval(kWaitMs);
    }
    flash_->setInterval(kFlashMs);
    connect(activationWait_, &QTimer::timeout, this, &CPageSettings::sendActivationRequest);
    connect(adapterWait_, &QTimer::timeout, this, &CPageSettings::sendModeZero);
    connect(flash_, &QTimer::timeout, this, [this] {
        model_.flashTick();
        render();
    });
}

CPageSettings::~CPageSettings() = default;

bool CPageSettings::onSetActive() {
    if (!firstDisplayDone_) {
        firstDisplayDone_ = true;
        const int useTags = context_.settings ? context_.settings->values().useTags : 0;
        const int tiltRange = context_.copies ? context_.copies->tiltRange : 15;
        const auto store = model_.firstDisplay(useTags, tiltRange);
        if (store && context_.settings)
            context_.settings->update([&](SettingsValues& v) { v.useTags = *store; });
    }
    AddressLists lists;
    bool setTypeToAll = false;
    if (context_.state) {
        lists = TakeAddressLists(*context_.state);
        setTypeToAll =
            context_.state->locked([](const SharedData& d) { return d.settings.setTypeToAll; });
    }
    model_.activate(std::move(lists), setTypeToAll);
    registerAsCurrentPage();
    // The boards stop triggering a second after the page is shown; the page
    // answers meanwhile.
    activationWait_->start();
    render();
    return true;
}

bool CPageSettings::onKillActive() {
    activationWait_->stop();
    adapterWait_->stop();
    const SettingsPageModel::Leaving leaving = model_.deactivate();
    if (context_.copies) {
        context_.copies->tiltRange = leaving.tiltRange;
        context_.copies->promptFileName = leaving.promptFile;
    }
    if (context_.settings)
        context_.settings->update([&](SettingsValues& v) { v.useTags = leaving.useTags; });
    render();
    return true;
}

void CPageSettings::sendActivationRequest() {
    const WorkerRequest request = model_.activationRequest();
    render();
    submit(request);
}

void CPageSettings::sendModeZero() { submit(model_.modeZero()); }

void CPageSettings::submit(const WorkerRequest& request) {
    // A request of the page's own supersedes the trigger-off still waiting:
    // that one would cut the page's request short.
    activationWait_->stop();
    if (context_.state && !SubmitRequest(*context_.state, request)) {
        model_.requestRefused();
        render();
    }
}

void CPageSettings::act(SettingsEffect (SettingsPageModel::*action)()) {
    apply((model_.*action)());
}

void CPageSettings::apply(const SettingsEffect& effect) {
    if (effect.listsChanged && context_.state) StoreAddressLists(*context_.state, model_.lists());
    render();
    if (effect.focusPool) poolList_->setFocus();
    if (effect.request) submit(*effect.request);
    if (effect.note && context_.notifier)
        context_.notifier->timedMessage(effect.note->seconds, Q(effect.note->text));
}

void CPageSettings::onKeypad(int key) {
    if (key == 10) {
        model_.pressBackspace();
    } else if (key == 11) {
        model_.pressClear();
    } else {
        model_.pressDigit(static_cast<char>('0' + key));
    }
    render();
    entries_[static_cast<int>(model_.view().keypadBox)]->setFocus();
}

void CPageSettings::onUsed() {
    if (!context_.notifier || !context_.notifier->question(kMoveToUsedQuestion)) return;
    apply(model_.moveCurrentToUsed());
}

void CPageSettings::onResetAll() {
    if (!context_.notifier || !context_.notifier->question(kResetAllQuestion)) return;
    apply(model_.resetAll());
}

bool CPageSettings::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 4; ++i)
            if (watched == entries_[i]) model_.focusEntry(static_cast<EntryBox>(i));
    }
    return SheetPage::eventFilter(watched, event);
}

void CPageSettings::onWorkerEvent(int code, int detail) {
    SettingsPageModel::EventData data;
    if (context_.state) {
        data = context_.state->locked([](const SharedData& d) {
            return SettingsPageModel::EventData{d.readings.sensorSettings, d.readings.axisFlags,
                                                d.worker.boardCount, d.request.targetAddress};
        });
    }
    model_.onEvent(code, detail, data);
    render();
}

// --- rendering ---------------------------------------------------------------

void CPageSettings::renderLists() {
    const SettingsView& v = model_.view();
    const auto fill = [](QListWidget* list, const std::vector<std::string>& entries, int row) {
        const QSignalBlocker block(list);
        QStringList texts;
        for (const auto& entry : entries) texts << Q(entry);
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        if (shown != texts) {
            list->clear();
            list->addItems(texts);
        }
        list->setCurrentRow(row);
        if (row < 0) list->clearSelection();
    };
    fill(setList_, v.set, v.setSelected);
    fill(poolList_, v.pool, v.poolSelected);
}

void CPageSettings::render() {
    const SettingsView& v = model_.view();
    renderLists();
    for (int i = 0; i < 4; ++i) {
        const QString text = Q(v.entries[i]);
        if (entries_[i]->text() != text) entries_[i]->setText(text);
    }
    Paint(entries_[static_cast<int>(EntryBox::InitAddress)], v.initColour);
    Paint(entries_[static_cast<int>(EntryBox::NewAddress)], v.newColour);
    Paint(entries_[static_cast<int>(EntryBox::OldAddress)], BoxColour::White);
    Paint(entries_[static_cast<int>(EntryBox::PoolEntry)], BoxColour::White);

    Select(typeSelector_, v.typeEntry);
    typeText_->setText(Q(v.typeText));
    typeGroup_->setTitle(Q(v.typeCaption));
    for (int i = 0; i < 3; ++i) Select(sensors_[i], v.sensorEntries[i]);
    Select(tiltRange_, v.tiltEntry);
    SetText(sensorRead_, v.sensorRead);
    SetText(sensorWrite_, v.sensorWrite);

    axisGroup_->setTitle(Q(v.axisCaption));
    SetText(axisRead_, v.axisRead);
    SetText(axisWrite_, v.axisWrite);
    axisHint_->setVisible(v.axisHintVisible);
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(axisChecks_[i]);
        axisChecks_[i]->setVisible(v.axisChecksVisible);
        axisChecks_[i]->setEnabled(v.axisChecksEnabled);
        axisChecks_[i]->setChecked(v.axisChecks[i]);
    }

    addressOutcome_->setText(Q(v.addressOutcome));
    status_->setText(Q(v.status));
    status_->setBackground(v.redPhase ? colours::kRed : colours::kWhite);
    status_->setTextColour(v.redPhase ? colours::kWhite : colours::kRed);
    status_->setAccessibleDescription(Q(StatusMeaning(v.status, v.flashing)));
    if (v.flashing && !flash_->isActive()) flash_->start();
    if (!v.flashing) flash_->stop();
}

}  // namespace clinora
