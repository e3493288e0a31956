#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/address_lists.h"
#include "app/settings_outcome.h"
#include "link/request_record.h"
#include "link/shared_state.h"
#include "link/worker_thread.h"

namespace clinora {

// The Settings page's texts.
inline constexpr const char* kSixItemsText = "6 items maximum.";
inline constexpr const char* kAlreadyExistsText = "Already exists.";
inline constexpr const char* kEmptySetText = "No items in address pool.\n\rAdd some.";
inline constexpr const char* kNoAddressSelectedText = "No address selected.";
inline constexpr const char* kSensor1Text = "Sensor 1 not selected";
inline constexpr const char* kSensor2Text = "Sensor 2 not selected";
inline constexpr const char* kThermText = "Therm sensor not selected";
inline constexpr const char* kReadAxisFirstText = "Read Axis first.";
inline constexpr const char* kMoveToUsedQuestion =
    "Do you want to permanently move\nall current addresses to archive file?";
inline constexpr const char* kResetAllQuestion =
    "Do you want to reset all connected devices to 65534?";
inline constexpr const char* kAxisHintText = "Axis Settings (press ?)";

// Entries of the selectors.
const std::vector<std::string>& TypeEntries();       // "EM" "UI" "BI" "ET" "EB" "PM"
const std::vector<std::string>& SensorEntries();     // "--" "N" "5" "15" "30" "45" "50" "90"
const std::vector<std::string>& ThermEntries();      // "--" "N" "TH"
const std::vector<std::string>& TiltRangeEntries();  // "--" "5" "10" "15" "30" "45" "50" "90"

// Sensor codes of setting bytes 1 and 2, and the thermistor code of byte 3.
// "--" (entry 0) and entries outside the list have no code; a code not in
// the table selects "--".
std::optional<uint8_t> SensorCode(int entry);
int SensorEntryForCode(uint8_t code);
std::optional<uint8_t> ThermCode(int entry);
int ThermEntryForCode(uint8_t code);
// The two letters of a type entry; no selection gives "EM".
std::array<uint8_t, 2> TypeLetters(int entry);
// "TiltRange" of a tilt range entry ("--" and no selection: 15), and the
// entry that shows a range (any other value shows "15").
int TiltRangeForEntry(int entry);
int TiltEntryForRange(int tiltRange);

// The keypad on one entry box's text: a digit is typed only while the box
// holds at most four characters; a backspace takes the last one.
inline constexpr size_t kEntryBoxCapacity = 5;
std::string TypeDigit(std::string text, char digit);
std::string Backspaced(std::string text, int times = 1);

// The three address lists of the shared state.
struct AddressLists {
    std::vector<std::string> current, pool, used;
};

// The lists as the shared state holds them, and back.
AddressLists TakeAddressLists(const SharedState& state);
void StoreAddressLists(SharedState& state, const AddressLists& lists);

// The boxes the keypad can type into.
enum class EntryBox { InitAddress = 0, OldAddress = 1, NewAddress = 2, PoolEntry = 3 };
enum class BoxColour { White, Green, LightRed, LightBlue };
// What an address box's colour says, in words (empty for white).
std::string BoxColourMeaning(BoxColour colour);
// What the flashing status box says, in words.
std::string StatusMeaning(const std::string& status, bool flashing);

// Everything the page shows.
struct SettingsView {
    std::vector<std::string> set;   // the first six of the current list
    std::vector<std::string> pool;  // the whole pool
    int setSelected = -1, poolSelected = -1;
    std::array<std::string, 4> entries;  // by EntryBox
    EntryBox keypadBox = EntryBox::InitAddress;
    BoxColour initColour = BoxColour::White, newColour = BoxColour::White;
    int typeEntry = 0;
    std::string typeText = "EM";
    std::array<int, 3> sensorEntries{};  // axis 1, axis 2, thermistor; 0 is "--"
    int tiltEntry = 3;                   // "15"
    std::string sensorRead = "?", sensorWrite = ".", axisRead = "?", axisWrite = ".";
    bool axisHintVisible = true;
    bool axisChecksVisible = false, axisChecksEnabled = true;
    std::array<bool, 3> axisChecks{};  // "Sw AB", "NegA", "NegB"
    std::string typeCaption = "Type", axisCaption = "Axis Settings";
    // The status box: the address of a board that gave no answer. Not
    // flashing, or in its white phase: white with red text; red phase: red
    // with white text.
    std::string status;
    bool flashing = false, redPhase = false;
    // What the last address action did, in words ("Board 65534 now answers at 104").
    std::string addressOutcome;
};

// What an action asks the page to do besides showing the view.
struct SettingsEffect {
    struct Note {
        int seconds = 0;
        std::string text;
    };
    std::optional<Note> note;               // the self-closing message box
    std::optional<WorkerRequest> request;   // hand to the worker
    bool listsChanged = false;              // store the lists back
    bool focusPool = false;                 // the pool list takes the focus
};

// The Settings page's rules, without widgets: lists, keypad, selectors,
// requests and the worker's events. The page renders view() after each call
// and carries out the effects.
class SettingsPageModel {
public:
    // Once before the page is first shown. Returns the "UseTags" value to
    // store when the stored one selects no entry.
    std::optional<int> firstDisplay(int useTags, int tiltRange);
    void activate(AddressLists lists, bool setTypeToAll);
    // The end of the activation wait: the status box cleared, the boards told
    // to stop triggering.
    WorkerRequest activationRequest();
    struct Leaving {
        int tiltRange = 15;
        std::string promptFile;
        int useTags = 0;
    };
    Leaving deactivate();

    // Lists.
    SettingsEffect takeFromPool();  // "Calibration Set" "/\"
    SettingsEffect giveBack();      // "Calibration Set" "\/"
    SettingsEffect addToPool();     // "Unused Pool" "/\"
    SettingsEffect deleteFromPool();  // "Unused Pool" "\/"
    void copySelectionToInit();     // "->"
    void selectSetEntry(int row);
    void selectPoolEntry(int row);
    SettingsEffect moveCurrentToUsed();  // "Addresses" > "Used", after Yes

    // Entry boxes and keypad.
    void focusEntry(EntryBox box);
    void setEntryText(EntryBox box, std::string text);
    void pressDigit(char digit);
    void pressBackspace();
    void pressClear();

    // Selectors and check boxes.
    void chooseType(int entry);
    void chooseSensor(int which, int entry);
    void chooseTiltRange(int entry) { view_.tiltEntry = entry; }
    void setAxisCheck(int which, bool checked);

    // Requests.
    SettingsEffect setInitAddress();  // Set Init Address "Go"
    SettingsEffect changeAddress();   // Change Address "Go"
    SettingsEffect readSensors();     // sensor "?"
    SettingsEffect writeSensors();    // sensor "."
    SettingsEffect readAxis();        // axis "?"
    SettingsEffect writeAxis();       // axis "."
    SettingsEffect resetAll();        // "Addresses" > "Reset All", after Yes
    WorkerRequest modeZero();         // "Adapter" > "Set", after its wait

    // What the page reads from the shared state when a worker event arrives.
    struct EventData {
        std::array<uint8_t, 3> sensorSettings{};
        std::array<uint8_t, 3> axisFlags{};
        int boardCount = 0;
        std::string servedTarget;  // target address of the request in force
    };
    void onEvent(int code, int detail, const EventData& data);
    // One second of the status box's flashing.
    void flashTick();
    // The worker refused the request just handed to it: nothing runs.
    void requestRefused();
    // The question before the page is left while a write to the boards runs.
    std::string leaveQuestion() const { return writes_.leaveQuestion(); }

    const SettingsView& view() const { return view_; }
    const AddressLists& lists() const { return lists_; }
    const RequestRecord& record() const { return record_; }
    // Boards the "." writes walk: the calibration set as shown.
    int setSize() const;

private:
    std::string& entry(EntryBox box) { return view_.entries[static_cast<int>(box)]; }
    void refill();
    void clearStatus();
    void whitenAddressBoxes();
    WorkerRequest workerRequest(uint32_t code) const;
    SettingsEffect request(uint32_t code);
    // The target of a "." write; false when there is none to write.
    bool chooseWriteTarget();
    static SettingsEffect Note(int seconds, const std::string& text);
    static SettingsEffect ListsChanged();

    AddressLists lists_;
    RequestRecord record_;  // the page's own request record
    bool setTypeToAll_ = false;
    BoardWriteWatch writes_;
    SettingsView view_;
};

}  // namespace clinora
