// The Settings page's selectors, keypad, lists and life cycle.
#include "app/settings_page_model.h"

#include <algorithm>

#include "app/startup_rules.h"
#include "link/device_record.h"
#include "link/worker_codes.h"

namespace clinora {
namespace {

// Sensor codes by selector entry; -1 for "--".
constexpr std::array<int, 8> kSensorCodes = {-1, 0, 6, 1, 2, 3, 4, 5};
constexpr std::array<int, 3> kThermCodes = {-1, 0, 8};
constexpr std::array<int, 8> kTiltRanges = {15, 5, 10, 15, 30, 45, 50, 90};
constexpr int kTiltEntry15 = 3;

template <size_t N>
std::optional<uint8_t> CodeOf(const std::array<int, N>& codes, int entry) {
    if (entry < 0 || entry >= static_cast<int>(N) || codes[entry] < 0) return std::nullopt;
    return static_cast<uint8_t>(codes[entry]);
}

template <size_t N>
int EntryOf(const std::array<int, N>& codes, uint8_t code) {
    for (size_t i = 1; i < N; ++i)
        if (codes[i] == code) return static_cast<int>(i);
    return 0;
}

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool ValidRow(int row, size_t size) { return row >= 0 && row < static_cast<int>(size); }

}  // namespace

const std::vector<std::string>& TypeEntries() {
    static const std::vector<std::string> entries = {"EM", "UI", "BI", "ET", "EB", "PM"};
    return entries;
}

const std::vector<std::string>& SensorEntries() {
    static const std::vector<std::string> entries = {"--", "N", "5", "15", "30", "45", "50", "90"};
    return entries;
}

const std::vector<std::string>& ThermEntries() {
    static const std::vector<std::string> entries = {"--", "N", "TH"};
    return entries;
}

const std::vector<std::string>& TiltRangeEntries() {
    static const std::vector<std::string> entries = {"--", "5", "10", "15", "30", "45", "50", "90"};
    return entries;
}

std::optional<uint8_t> SensorCode(int entry) { return CodeOf(kSensorCodes, entry); }
int SensorEntryForCode(uint8_t code) { return EntryOf(kSensorCodes, code); }
std::optional<uint8_t> ThermCode(int entry) { return CodeOf(kThermCodes, entry); }
int ThermEntryForCode(uint8_t code) { return EntryOf(kThermCodes, code); }

std::array<uint8_t, 2> TypeLetters(int entry) {
    const auto& entries = TypeEntries();
    const std::string& letters = ValidRow(entry, entries.size()) ? entries[entry] : entries[0];
    return {static_cast<uint8_t>(letters[0]), static_cast<uint8_t>(letters[1])};
}

int TiltRangeForEntry(int entry) {
    return ValidRow(entry, kTiltRanges.size()) ? kTiltRanges[entry] : 15;
}

int TiltEntryForRange(int tiltRange) {
    for (size_t i = 1; i < kTiltRanges.size(); ++i)
        if (kTiltRanges[i] == tiltRange) return static_cast<int>(i);
    return kTiltEntry15;
}

std::string BoxColourMeaning(BoxColour colour) {
    switch (colour) {
        case BoxColour::Green:
            return "Address given.";
        case BoxColour::LightRed:
            return "Address not changed; the line below the boxes says why.";
        case BoxColour::LightBlue:
            return "Every board told to go back to 65534.";
        case BoxColour::White:
            break;
    }
    return "";
}

std::string StatusMeaning(const std::string& status, bool flashing) {
    return flashing ? "no answer from " + status : "";
}

std::string TypeDigit(std::string text, char digit) {
    if (text.size() < kEntryBoxCapacity) text += digit;
    return text;
}

std::string Backspaced(std::string text, int times) {
    text.resize(text.size() - std::min(text.size(), static_cast<size_t>(std::max(times, 0))));
    return text;
}

AddressLists TakeAddressLists(const SharedState& state) {
    return state.locked([](const SharedData& d) {
        return AddressLists{d.currentAddresses, d.addressPool, d.usedAddresses};
    });
}

void StoreAddressLists(SharedState& state, const AddressLists& lists) {
    state.locked([&](SharedData& d) {
        d.currentAddresses = lists.current;
        d.addressPool = lists.pool;
        d.usedAddresses = lists.used;
    });
}

// --- life cycle ------------------------------------------------------------

std::optional<int> SettingsPageModel::firstDisplay(int useTags, int tiltRange) {
    view_.sensorEntries = {0, 0, 0};
    view_.tiltEntry = TiltEntryForRange(tiltRange);
    const bool known = ValidRow(useTags, TypeEntries().size());
    chooseType(known ? useTags : 0);
    if (!known) return 0;
    return std::nullopt;
}

void SettingsPageModel::activate(AddressLists lists, bool setTypeToAll) {
    lists_ = std::move(lists);
    setTypeToAll_ = setTypeToAll;
    writes_.stopped();
    view_.addressOutcome.clear();
    view_.setSelected = view_.poolSelected = -1;
    refill();
    whitenAddressBoxes();
    view_.sensorRead = view_.axisRead = "?";
    view_.sensorWrite = view_.axisWrite = ".";
    view_.axisHintVisible = true;
    view_.axisChecksVisible = false;
    chooseType(view_.typeEntry);
    clearStatus();
    view_.typeCaption = setTypeToAll ? "Type (Set to All)" : "Type";
    view_.axisCaption = setTypeToAll ? "Axis Settings (Set to All)" : "Axis Settings";
}

WorkerRequest SettingsPageModel::activationRequest() {
    clearStatus();
    return workerRequest(kTriggerOffRequest);
}

SettingsPageModel::Leaving SettingsPageModel::deactivate() {
    Leaving leaving;
    leaving.tiltRange = TiltRangeForEntry(view_.tiltEntry);
    leaving.promptFile = PromptFileForTiltRange(leaving.tiltRange);
    leaving.useTags = std::max(view_.typeEntry, 0);
    view_.flashing = view_.redPhase = false;
    return leaving;
}

int SettingsPageModel::setSize() const {
    return static_cast<int>(std::min<size_t>(lists_.current.size(), kMaxBoards));
}

void SettingsPageModel::refill() {
    view_.set.assign(lists_.current.begin(), lists_.current.begin() + setSize());
    view_.pool = lists_.pool;
    if (!ValidRow(view_.setSelected, view_.set.size())) view_.setSelected = -1;
    if (!ValidRow(view_.poolSelected, view_.pool.size())) view_.poolSelected = -1;
}

void SettingsPageModel::clearStatus() {
    view_.status.clear();
    view_.flashing = view_.redPhase = false;
}

void SettingsPageModel::whitenAddressBoxes() {
    view_.initColour = view_.newColour = BoxColour::White;
}

SettingsEffect SettingsPageModel::Note(int seconds, const std::string& text) {
    SettingsEffect effect;
    effect.note = SettingsEffect::Note{seconds, text};
    return effect;
}

// --- lists -----------------------------------------------------------------

SettingsEffect SettingsPageModel::ListsChanged() {
    SettingsEffect effect;
    effect.listsChanged = true;
    return effect;
}

SettingsEffect SettingsPageModel::takeFromPool() {
    if (lists_.current.size() >= static_cast<size_t>(kMaxBoards)) return Note(3, kSixItemsText);
    const int row = view_.poolSelected;
    if (!ValidRow(row, lists_.pool.size())) return {};
    const std::string address = lists_.pool[row];
    if (Contains(lists_.current, address)) return Note(3, kAlreadyExistsText);
    lists_.pool.erase(lists_.pool.begin() + row);
    lists_.current.push_back(address);
    view_.addressOutcome = address + " moved to the Calibration Set";
    refill();  // the same position stays selected when there still is one
    SettingsEffect effect = ListsChanged();
    effect.focusPool = true;
    return effect;
}

SettingsEffect SettingsPageModel::giveBack() {
    const int row = view_.setSelected;
    if (!ValidRow(row, view_.set.size())) return {};
    const std::string address = lists_.current[row];
    lists_.current.erase(lists_.current.begin() + row);
    lists_.pool.push_back(address);
    view_.addressOutcome = address + " given back to the pool";
    view_.setSelected = -1;
    refill();
    return ListsChanged();
}

SettingsEffect SettingsPageModel::addToPool() {
    const std::string typed = entry(EntryBox::PoolEntry);
    if (typed.empty()) return {};
    const TypedAddress address = CheckTypedAddress(typed, AddressRole::NewAddress);
    if (!address.ok()) return Note(3, address.refusal);
    if (Contains(lists_.pool, address.address)) return Note(3, kAlreadyExistsText);
    lists_.pool.push_back(address.address);
    view_.addressOutcome = address.address + " added to the pool";
    refill();
    return ListsChanged();
}

SettingsEffect SettingsPageModel::deleteFromPool() {
    const int row = view_.poolSelected;
    if (!ValidRow(row, lists_.pool.size())) return {};
    view_.addressOutcome = lists_.pool[row] + " deleted from the pool";
    lists_.pool.erase(lists_.pool.begin() + row);
    view_.poolSelected = -1;
    refill();
    return ListsChanged();
}

void SettingsPageModel::copySelectionToInit() {
    if (!ValidRow(view_.setSelected, view_.set.size())) return;
    entry(EntryBox::InitAddress) = view_.set[view_.setSelected];
    view_.initColour = BoxColour::White;
}

void SettingsPageModel::selectSetEntry(int row) {
    view_.setSelected = ValidRow(row, view_.set.size()) ? row : -1;
    if (view_.setSelected < 0) return;
    entry(EntryBox::InitAddress) = entry(EntryBox::NewAddress) = view_.set[row];
    whitenAddressBoxes();
}

void SettingsPageModel::selectPoolEntry(int row) {
    view_.poolSelected = ValidRow(row, view_.pool.size()) ? row : -1;
}

SettingsEffect SettingsPageModel::moveCurrentToUsed() {
    lists_.used.insert(lists_.used.end(), lists_.current.begin(), lists_.current.end());
    view_.addressOutcome =
        std::to_string(lists_.current.size()) + " current addresses moved to the archive";
    lists_.current.clear();
    view_.setSelected = -1;
    refill();
    return ListsChanged();
}

// --- entry boxes, keypad, selectors ------------------------------------------

void SettingsPageModel::focusEntry(EntryBox box) { view_.keypadBox = box; }

void SettingsPageModel::setEntryText(EntryBox box, std::string text) {
    entry(box) = std::move(text);
}

void SettingsPageModel::pressDigit(char digit) {
    const EntryBox box = view_.keypadBox;
    if (box == EntryBox::InitAddress) view_.initColour = BoxColour::White;
    if (box == EntryBox::NewAddress) view_.newColour = BoxColour::White;
    entry(box) = TypeDigit(entry(box), digit);
}

void SettingsPageModel::pressBackspace() {
    entry(view_.keypadBox) = Backspaced(entry(view_.keypadBox));
}

void SettingsPageModel::pressClear() {
    entry(view_.keypadBox) = Backspaced(entry(view_.keypadBox), kEntryBoxCapacity);
}

void SettingsPageModel::chooseType(int entry) {
    view_.typeEntry = entry;
    const auto letters = TypeLetters(entry);
    view_.typeText = std::string(letters.begin(), letters.end());
}

void SettingsPageModel::chooseSensor(int which, int entry) {
    if (ValidRow(which, view_.sensorEntries.size())) view_.sensorEntries[which] = entry;
}

void SettingsPageModel::setAxisCheck(int which, bool checked) {
    if (ValidRow(which, view_.axisChecks.size())) view_.axisChecks[which] = checked;
}

}  // namespace clinora
