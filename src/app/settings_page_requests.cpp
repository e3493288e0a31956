// The Settings page's requests to the worker and what the worker's events show.
#include <string>

#include "app/settings_page_model.h"
#include "link/shared_state.h"
#include "link/worker_codes.h"

namespace clinora {

WorkerRequest SettingsPageModel::workerRequest(uint32_t code) const {
    WorkerRequest request;
    request.code = code;
    request.record = record_;
    return request;
}

SettingsEffect SettingsPageModel::request(uint32_t code) {
    SettingsEffect effect;
    effect.request = workerRequest(code);
    writes_.started(code);
    const std::string sent = AddressRequestSent(code, record_.targetAddress, record_.newAddress);
    if (!sent.empty()) view_.addressOutcome = sent;
    return effect;
}

void SettingsPageModel::requestRefused() {
    if (writes_.code() == kAddressChangeRequest || writes_.code() == kResetAddressesRequest)
        view_.addressOutcome = "The worker was busy and sent nothing; try again";
    writes_.refused();
}

// One board, the selected one; with "Set to All" on every board of the set,
// starting with the selected one or the first.
bool SettingsPageModel::chooseWriteTarget() {
    const int row = view_.setSelected;
    const bool selected = row >= 0 && row < setSize();
    if (!selected && !setTypeToAll_) return false;
    record_.targetAddress = view_.set[selected ? row : 0];
    return true;
}

SettingsEffect SettingsPageModel::setInitAddress() {
    const TypedAddress address =
        CheckTypedAddress(entry(EntryBox::InitAddress), AddressRole::NewAddress);
    if (!address.ok()) return Note(3, address.refusal);
    entry(EntryBox::InitAddress) = address.address;
    clearStatus();
    whitenAddressBoxes();
    record_.targetAddress = kFactoryAddress;
    record_.newAddress = address.address;
    record_.typeLetters = TypeLetters(view_.typeEntry);
    return request(kAddressChangeRequest);
}

SettingsEffect SettingsPageModel::changeAddress() {
    const TypedAddress from = CheckTypedAddress(entry(EntryBox::OldAddress), AddressRole::Target);
    if (!from.ok()) return Note(3, from.refusal);
    const TypedAddress to =
        CheckTypedAddress(entry(EntryBox::NewAddress), AddressRole::NewAddress);
    if (!to.ok()) return Note(3, to.refusal);
    entry(EntryBox::OldAddress) = from.address;
    entry(EntryBox::NewAddress) = to.address;
    clearStatus();
    whitenAddressBoxes();
    record_.targetAddress = from.address;
    record_.newAddress = to.address;
    record_.typeLetters = TypeLetters(view_.typeEntry);
    return request(kAddressChangeRequest);
}

SettingsEffect SettingsPageModel::readSensors() {
    view_.sensorRead = "?";
    view_.sensorWrite = ".";
    if (setSize() == 0) {
        view_.sensorEntries = {0, 0, 0};
        return Note(2, kEmptySetText);
    }
    if (view_.setSelected < 0) return Note(2, kNoAddressSelectedText);
    clearStatus();
    record_.targetAddress = view_.set[view_.setSelected];
    return request(kReadSensorSettingsRequest);
}

SettingsEffect SettingsPageModel::writeSensors() {
    view_.sensorRead = "?";
    view_.sensorWrite = ".";
    if (setSize() == 0) {
        view_.sensorEntries = {0, 0, 0};
        return Note(2, kEmptySetText);
    }
    const auto axis1 = SensorCode(view_.sensorEntries[0]);
    if (!axis1) return Note(2, kSensor1Text);
    const auto axis2 = SensorCode(view_.sensorEntries[1]);
    if (!axis2) return Note(2, kSensor2Text);
    const auto therm = ThermCode(view_.sensorEntries[2]);
    if (!therm) return Note(2, kThermText);
    // Without "Set to All" a write needs a selected board; say so in words.
    if (!chooseWriteTarget()) return Note(2, kNoAddressSelectedText);
    record_.sensorSettings = {*axis1, *axis2, *therm};
    clearStatus();
    SettingsEffect effect = request(kWriteSensorSettingsRequest);
    effect.request->boardCount = setSize();
    return effect;
}

SettingsEffect SettingsPageModel::readAxis() {
    view_.axisRead = "?";
    view_.axisWrite = ".";
    if (setSize() == 0) return Note(2, kEmptySetText);
    if (view_.setSelected < 0) return Note(2, kNoAddressSelectedText);
    clearStatus();
    record_.targetAddress = view_.set[view_.setSelected];
    return request(kReadAxisFlagsRequest);
}

SettingsEffect SettingsPageModel::writeAxis() {
    view_.axisRead = "?";
    view_.axisWrite = ".";
    if (setSize() == 0) return Note(2, kEmptySetText);
    if (view_.axisHintVisible) return Note(2, kReadAxisFirstText);
    if (!chooseWriteTarget()) return Note(2, kNoAddressSelectedText);
    for (size_t i = 0; i < record_.axisFlags.size(); ++i)
        record_.axisFlags[i] = view_.axisChecks[i] ? 1 : 0;
    view_.axisChecksEnabled = false;
    clearStatus();
    SettingsEffect effect = request(kWriteAxisFlagsRequest);
    effect.request->boardCount = setSize();
    return effect;
}

SettingsEffect SettingsPageModel::resetAll() {
    clearStatus();
    whitenAddressBoxes();
    record_.targetAddress = kBroadcastAddress;
    record_.newAddress = kFactoryAddress;
    record_.typeLetters = TypeLetters(0);
    return request(kResetAddressesRequest);
}

WorkerRequest SettingsPageModel::modeZero() { return workerRequest(kModeZeroRequest); }

// --- the worker's events -----------------------------------------------------

namespace {

// A write's progress: the board index while boards remain, then "OK".
std::string Progress(int reached, int boardCount) {
    return reached < boardCount ? std::to_string(reached) : "OK";
}

}  // namespace

void SettingsPageModel::onEvent(int code, int detail, const EventData& data) {
    if (writes_.running() && (code == kEventAddressChanged || code == kEventAddressChangeGaveUp ||
                              code == kEventAddressChangeAttempt || code == kEventAddressInUse ||
                              code == kEventAddressesReset)) {
        view_.addressOutcome =
            AddressOutcome(code, detail, record_.targetAddress, record_.newAddress);
    }
    writes_.onEvent(code, detail, data.boardCount);
    switch (code) {
        case kEventAddressChanged:
            (record_.targetAddress == kFactoryAddress ? view_.initColour : view_.newColour) =
                BoxColour::Green;
            break;
        case kEventAddressChangeGaveUp:
            view_.initColour = view_.newColour = BoxColour::LightRed;
            break;
        case kEventAddressInUse:
            // The address asked for is the one refused.
            (record_.targetAddress == kFactoryAddress ? view_.initColour : view_.newColour) =
                BoxColour::LightRed;
            break;
        case kEventAddressesReset:
            view_.initColour = view_.newColour = BoxColour::LightBlue;
            break;
        case kEventSettingsRead:
            view_.sensorRead = "<-";
            view_.sensorEntries = {SensorEntryForCode(data.sensorSettings[0]),
                                   SensorEntryForCode(data.sensorSettings[1]),
                                   ThermEntryForCode(data.sensorSettings[2])};
            break;
        case kEventSettingsReadFailed:
            view_.sensorRead = "X";
            view_.sensorEntries = {0, 0, 0};
            break;
        case kEventSettingsWritten:
            view_.sensorWrite = Progress(detail, data.boardCount);
            break;
        case kEventFlagsRead:
            view_.axisRead = "<-";
            view_.axisChecksVisible = view_.axisChecksEnabled = true;
            for (size_t i = 0; i < view_.axisChecks.size(); ++i)
                view_.axisChecks[i] = data.axisFlags[i] != 0;
            view_.axisHintVisible = false;
            break;
        case kEventFlagsReadFailed:
            view_.axisRead = "X";  // like a failed sensor read
            break;
        case kEventFlagsWritten:
            view_.axisWrite = Progress(detail, data.boardCount);
            view_.axisChecksEnabled = true;
            break;
        case kEventNoBoard:
            view_.status = data.servedTarget;
            view_.flashing = true;
            break;
        default:
            break;
    }
}

void SettingsPageModel::flashTick() {
    if (view_.flashing) view_.redPhase = !view_.redPhase;
}

}  // namespace clinora
