#include "app/walk_page_model.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>

#include "calib/cal_data_file.h"
#include "link/number_text.h"
#include "link/worker_codes.h"

namespace clinora {

namespace {

constexpr const char* kNoBoardsText = " boards missing";
constexpr const char* kPromptErrorLine = "Prompt file read error";
constexpr const char* kPromptErrorBox = "Prompt file read error.";
constexpr int kNoiseBarTop = 10;

Shade TitleShade(bool axisA) { return axisA ? Shade::PaleYellow : Shade::LightCyan; }

}  // namespace

WalkPageModel::WalkPageModel(WalkEnvironment environment) : env_(std::move(environment)) {
    if (!env_.epochSeconds)
        env_.epochSeconds = [] { return static_cast<int64_t>(std::time(nullptr)); };
}

// --- activation --------------------------------------------------------------

void WalkPageModel::activate() {
    const Rules& r = rules();
    started_ = false;
    runSaved_ = false;
    view_.position.clear();
    view_.writePending = view_.followUpPending = false;
    view_.axisA =
        env_.state.locked([](const SharedData& d) { return d.settings.axisSelector; }) == 1;
    view_.title = r.title;
    view_.titleColour = TitleShade(view_.axisA);
    view_.enabled = {};
    for (BoardBoxView& box : view_.boards) box = {"X", "--.--", Shade::White, ""};
    view_.busy = false;
    env_.state.locked([this](SharedData& d) {
        for (int i = 0; i < kMaxBoards; ++i) {
            BoardReading& reading = d.readings.boards[i];
            reading.a = reading.b = 0;
            // Readings taken before this visit are not averaged in.
            fedSequence_[i] = reading.sequence;
        }
    });
    walk_.clear();
    collected_ = false;
    promptValid_ = false;
    view_.promptColour = Shade::LightRed;
    view_.messageColour = Shade::White;
    view_.enabled.accept = view_.enabled.back = false;
    view_.enabled.write = view_.enabled.send = view_.enabled.upload = view_.enabled.verify = false;

    const auto current = env_.state.locked([](const SharedData& d) { return d.currentAddresses; });
    addresses_.assign(current.begin(),
                      current.begin() + std::min<size_t>(current.size(), kMaxBoards));
    boards_ = static_cast<int>(addresses_.size());
    recorder_.startVisit(addresses_);
    caption();
    view_.noiseBarVisible = env_.copies.noiseBarOn;
    view_.noiseBarPosition = 0;

    const auto disableAll = [this] {
        view_.enabled = {};
        view_.enabled.a = view_.enabled.b = view_.enabled.setup = view_.enabled.init = false;
        view_.enabled.read = false;
    };
    if (boards_ == 0) {
        setMessage(kNoBoardsText);
        disableAll();
        view_.timerRunning = false;
        activated();
        return;
    }
    view_.timerRunning = true;
    for (calib::RunningAverage& average : averages_) average.reset();

    readPromptFile();
    if (!promptValid_) {
        setMessage(kPromptErrorLine);
        view_.prompt = "- - - -";
        disableAll();
        env_.services.timedMessage(2, kPromptErrorBox);
    } else {
        showPrompt();
        for (int b = 0; b < boards_; ++b) record(b).labels.assign(1, promptForFiles_);
        view_.enabled.a = view_.enabled.b = view_.enabled.setup = view_.enabled.init = true;
        view_.enabled.read = true;
    }
    startReading();
    view_.comboEntries = addresses_;
    view_.comboEntries.push_back("All");
    view_.comboSelection = boards_;
    setMessage("Starting...");
    activated();
}

void WalkPageModel::readPromptFile() {
    const std::string path = env_.files.path(env_.copies.promptFileName);
    // A file with an odd number of rows, or more than the fit has slots for,
    // reads as no rows: the prompt file error.
    const int rows = calib::ReadPromptFileForRange(path, env_.copies.tiltRange, rows_);
    promptFile_ = FileInFolder(env_.files.workingFolder, env_.copies.promptFileName);
    env_.session.promptRows = rows;
    promptValid_ = rows >= calib::kMinPromptRows;
    if (promptValid_) walk_.start(rows);
}

void WalkPageModel::deactivate() {
    view_.timerRunning = false;
    env_.services.submit(requestFor(kStopRequest));
}

// --- the tick ----------------------------------------------------------------

void WalkPageModel::tick() {
    if (!view_.timerRunning) return;
    if (initPending_) sendInit();
    const int decimals = std::clamp(env_.copies.calDisplayDecimalNum, 0, 10);
    for (int i = 0; i < boards_; ++i) {
        const double value = boardValue(i);
        if (!boardError_) colourReadout(i, value);
        view_.boards[i].readout = FormatFixed(value, decimals);
    }
    if (rules().noiseBarMoves && boards_ > 0) {
        const double change = averages_[0].lastChangeA();
        view_.noiseBarPosition =
            std::isfinite(change) ? std::clamp(static_cast<int>(change), 0, kNoiseBarTop) : 0;
    }
    updateAccept();
    blinkStep();
    ticked();
}

void WalkPageModel::colourReadout(int slot, double value) {
    if (!promptValid_) return;
    const RowLimits limit = limits(rows_[walk_.cursor()], view_.axisA);
    const bool inside = calib::WithinLimits(value, limit.low, limit.high);
    view_.boards[slot].colour = inside ? Shade::White : Shade::PaleYellow;
    view_.boards[slot].meaning = inside ? "in range" : "out of range";
}

void WalkPageModel::blinkStep() {
    if (!blink_) return;
    ++blinkCount_;
    if (blinkCount_ == 1 || blinkCount_ == 10) view_.messageColour = Shade::PaleYellow;
    if (blinkCount_ == 5) view_.messageColour = Shade::White;
    if (blinkCount_ > 15) {
        view_.messageColour = Shade::White;
        blink_ = false;
        blinkCount_ = 0;
    }
}

// The worker announced a reading of board `slot`: it goes into the running
// average once, however many events or looks it takes to see it.
void WalkPageModel::takeReading(int slot) {
    if (slot < 0 || slot >= boards_) return;
    const auto [reading, fresh] = env_.state.locked([&](const SharedData& d) {
        const BoardReading r = d.readings.boards[slot];
        return std::make_pair(r, r.sequence != fedSequence_[slot]);
    });
    if (!fresh) return;
    fedSequence_[slot] = reading.sequence;
    averages_[slot].feed(reading.a, reading.b, env_.copies.averageNum, env_.copies.averagingOn);
}

double WalkPageModel::boardValue(int slot) const {
    const calib::RunningAverage& average = averages_[slot];
    if (env_.copies.averagingOn) return view_.axisA ? average.meanA() : average.meanB();
    return view_.axisA ? average.latestA() : average.latestB();
}

// --- events ------------------------------------------------------------------

void WalkPageModel::onWorkerEvent(int code, int detail) {
    switch (code) {
        case kEventHeartbeat:
            if (!quietFor(code)) setMessage("Ready");
            break;
        case kEventBoardInitialised:
            setMessage("Initializing " + std::to_string(detail + 1));
            if (detail >= 0 && detail < kMaxBoards) {
                recorder_.boardInitialised(detail, env_.state.locked([detail](const SharedData& d) {
                    return d.readings.boardInfo[detail];
                }));
            }
            break;
        case kEventBoardTriggered:
            if (!quietFor(code)) {
                setMessage("Requesting Tilt " + std::to_string(detail + 1));
                boardError_ = false;
            }
            break;
        case kEventBoardRead:
            takeReading(detail);
            if (!quietFor(code)) setMessage("Reading Tilt " + std::to_string(detail + 1));
            boardError_ = false;
            ++readings_;
            break;
        case kEventBoardReadFailed:
        case kEventTriggerFailed:
            boardError_ = true;
            if (detail >= 0 && detail < kMaxBoards) {
                view_.boards[detail].colour = Shade::LightRed;
                view_.boards[detail].meaning = "no reading";
            }
            break;
        default:
            onOtherEvent(code, detail);
            break;
    }
}

// --- Accept and Back -----------------------------------------------------------

void WalkPageModel::accept() {
    if (!view_.enabled.accept || !promptValid_) return;
    view_.promptColour = Shade::LightRed;
    view_.enabled.accept = view_.enabled.a = view_.enabled.b = false;
    if (!started_) {
        firstAccept();
        started_ = true;
        runSaved_ = false;
        startRecordedRun();
    }
    readings_ = 0;
    if (!mayStore()) return;
    playChosenSound();
    storeAcceptedValues();
}

void WalkPageModel::storeAcceptedValues() {
    const RowLimits limit = limits(rows_[walk_.cursor()], view_.axisA);
    const int axis = chosenAxis();
    const std::string errors = rangeErrors(limit.target);
    for (int b = 0; b < boards_; ++b) {
        const double value = boardValue(b);
        const bool inside = !env_.copies.rangeCheckEnable ||
                            calib::WithinTolerance(value, limit.target, tolerance());
        if (!errors.empty() && !inside) {
            // The boards before the first one outside keep their values; no
            // label is added for a row that was not accepted.
            readings_ = 0;
            env_.services.message(errors);
            return;
        }
        calib::StoreAccepted(record(b), axis, walk_.inFirstSweep(), walk_.slot(), value);
        noteAccepted(b, walk_.inFirstSweep(), walk_.slot());
        if (errors.empty()) record(b).labels.push_back(promptForFiles_);
    }
    if (walk_.advance()) {
        showPrompt();
        view_.enabled.back = true;
        return;
    }
    collected_ = true;
    recorder_.endRun();
    view_.enabled.accept = view_.enabled.back = false;
    setMessage("Cal data collected");
    view_.prompt.clear();
    view_.position = "All positions accepted";
    view_.promptColour = Shade::White;
    const int64_t now = env_.epochSeconds();
    for (int b = 0; b < boards_; ++b) {
        record(b).addressNumber = static_cast<int32_t>(ParseLeadingIntSaturated(address(b)));
        record(b).calibrationTime = now;
        record(b).status = rules().collectedStatus;
    }
    caption();
    view_.enabled.write = true;
    collectedRun();
    view_.writePending = true;
}

void WalkPageModel::startRecordedRun() {
    records::RunSetup setup;
    setup.operatorName = env_.copies.operatorName;
    setup.promptFile = promptFile_;
    setup.tiltRange = env_.copies.tiltRange;
    setup.positions = walk_.positionsPerSweep();
    setup.averaging = env_.copies.averagingOn;
    setup.averageNum =
        env_.copies.averagingOn ? calib::RunningAverage::Window(env_.copies.averageNum) : 0;
    setup.toleranceCal = env_.copies.rangeErrorCal;
    setup.toleranceTest = env_.copies.rangeErrorCalTest;
    setup.rangeCheck = env_.copies.rangeCheckEnable;
    recorder_.startRun(records::ThisStation(env_.copies.stationName), chosenAxis(), setup);
}

void WalkPageModel::noteAccepted(int slot, bool firstSweep, int k) {
    const calib::RunningAverage& average = averages_[slot];
    const double other = env_.copies.averagingOn ? (view_.axisA ? average.meanB() : average.meanA())
                                                 : (view_.axisA ? average.latestB() : average.latestA());
    const double temperature = env_.state.locked(
        [slot](const SharedData& d) { return d.readings.boards[slot].temperature; });
    recorder_.accepted(slot, firstSweep, k, other, temperature);
}

// "Range error in board 102: reading 0.25890, expected 0.25882 ± 0.00010",
// one line for every board outside, with the readouts' decimals or more, as
// many as show the tolerance.
std::string WalkPageModel::rangeErrors(double target) const {
    if (!env_.copies.rangeCheckEnable) return {};
    const double tol = tolerance();
    const int toleranceDigits = tol > 0 && std::isfinite(tol)
                                    ? static_cast<int>(std::ceil(-std::log10(tol) - 1e-9)) + 1
                                    : 6;
    const int decimals =
        std::clamp(std::max(toleranceDigits, env_.copies.calDisplayDecimalNum), 3, 8);
    std::string text;
    for (int b = 0; b < boards_; ++b) {
        const double value = boardValue(b);
        if (calib::WithinTolerance(value, target, tol)) continue;
        if (!text.empty()) text += "\n";
        text += "Range error in board " + address(b) + ": reading " + FormatFixed(value, decimals) +
                ", expected " + FormatFixed(target, decimals) + " \u00b1 " +
                FormatFixed(tol, decimals);
    }
    return text;
}

int WalkPageModel::acceptedPositions() const {
    if (!started_ || !promptValid_) return 0;
    return collected_ ? walk_.rows() : walk_.rows() - 1 - walk_.cursor();
}

std::string WalkPageModel::leaveQuestion() const {
    const std::string transfer = transferQuestion();
    if (!transfer.empty()) return transfer;
    const int unsaved = collected_ && runSaved_ ? 0 : acceptedPositions();
    if (unsaved == 1)
        return "1 accepted position is not yet written to a file; leaving discards it. Leave?";
    if (unsaved > 1)
        return std::to_string(unsaved) +
               " accepted positions are not yet written to files; leaving discards them. Leave?";
    return {};
}

void WalkPageModel::resume() {
    if (boards_ == 0) return;
    view_.timerRunning = true;
    init();
}

void WalkPageModel::runPendingWrite() {
    if (!view_.writePending) return;
    view_.writePending = false;
    write();
}

void WalkPageModel::runPendingFollowUp() {
    if (!view_.followUpPending) return;
    view_.followUpPending = false;
    followUp();
}

void WalkPageModel::back() {
    if (!walk_.canGoBack()) return;
    view_.promptColour = Shade::LightRed;
    view_.enabled.accept = false;
    walk_.back();
    if (rules().backClearsReadings) readings_ = 0;
    showPrompt();
    for (int b = 0; b < boards_; ++b) {
        if (!record(b).labels.empty()) record(b).labels.pop_back();
    }
}

// --- other actions -------------------------------------------------------------

void WalkPageModel::chooseAxis(bool axisA) {
    if (!view_.enabled.a) return;
    view_.axisA = axisA;
    env_.state.locked([axisA](SharedData& d) { d.settings.axisSelector = axisA ? 1 : 0; });
    view_.titleColour = TitleShade(axisA);
    if (promptValid_) showPrompt();
}

void WalkPageModel::init() {
    startReading();
    view_.messageColour = Shade::White;
}

void WalkPageModel::startReading() {
    sendInit();
    readings_ = 0;
    blinkCount_ = 0;
    blink_ = false;
    boardError_ = false;
    clearOperationFlags();
}

calib::CalDataFile WalkPageModel::dataFile() const {
    calib::CalDataFile file;
    file.setFolder(env_.files.workingFolder);
    file.setPositionCount(walk_.positionsPerSweep());
    file.setTiltRange(env_.copies.tiltRange);
    return file;
}

void WalkPageModel::setupAccepted(bool continuousRead, double toleranceCal, double toleranceTest) {
    env_.copies.rangeErrorCal = toleranceCal;
    env_.copies.rangeErrorCalTest = toleranceTest;
    env_.state.locked([&](SharedData& d) { d.settings.continuousReadOn = continuousRead; });
    init();
}

void WalkPageModel::selectBoard(int comboIndex) {
    if (comboIndex >= 0 && comboIndex <= boards_) view_.comboSelection = comboIndex;
}

// --- helpers ---------------------------------------------------------------------

void WalkPageModel::setMessage(const std::string& text, bool blink) {
    view_.message = text;
    if (blink) blink_ = true;
}

void WalkPageModel::caption() {
    for (int i = 0; i < kMaxBoards; ++i) {
        view_.boards[i].caption = i < boards_ ? addresses_[i] + record(i).status : "X";
    }
}

void WalkPageModel::showPrompt() {
    if (walk_.cursor() < 0 || walk_.cursor() >= static_cast<int>(rows_.size())) return;
    const calib::PromptRow& row = rows_[walk_.cursor()];
    const std::string axisName = view_.axisA ? "A Axis" : "B Axis";
    view_.prompt = axisName + "\r\n" + row.label;
    promptForFiles_ = axisName + "," + row.label;
    view_.target = FormatFixed(limits(row, view_.axisA).target, rules().targetDecimals);
    const int perSweep = walk_.positionsPerSweep();
    const bool first = walk_.inFirstSweep();
    const int done = first ? walk_.rows() - 1 - walk_.cursor() : perSweep - 1 - walk_.cursor();
    view_.position = "Position " + std::to_string(done + 1) + " of " + std::to_string(perSweep) +
                     (first ? ", first sweep" : ", return sweep");
}

std::string WalkPageModel::address(int slot) const {
    return slot >= 0 && slot < boards_ ? addresses_[slot] : std::string();
}

std::vector<int> WalkPageModel::chosenBoards() const {
    std::vector<int> boards;
    if (allSelected()) {
        for (int b = 0; b < boards_; ++b) boards.push_back(b);
    } else if (view_.comboSelection >= 0 && view_.comboSelection < boards_) {
        boards.push_back(view_.comboSelection);
    }
    return boards;
}

std::string WalkPageModel::workerBoardAddress(int offset) const {
    return env_.state.locked([offset](const SharedData& d) {
        const int index = d.worker.currentBoardIndex + offset;
        if (index < 0 || index >= static_cast<int>(d.currentAddresses.size())) return std::string();
        return d.currentAddresses[index];
    });
}

void WalkPageModel::playChosenSound() {
    const int index = env_.copies.soundFileIndex;
    if (env_.copies.playSound && index >= 0 &&
        index < static_cast<int>(env_.files.soundFiles.size())) {
        env_.services.playSound(env_.files.soundFiles[index]);
    }
}

WorkerRequest WalkPageModel::requestFor(uint32_t code) const {
    WorkerRequest request;
    request.code = code;
    request.record = record_;
    request.record.boardList = addresses_;
    // The probe before the work goes to every board: any one answering shows
    // the line works; each board is then addressed by its own entry.
    request.record.targetAddress = kBroadcastAddress;
    return request;
}

bool WalkPageModel::sendInit() {
    WorkerRequest request = requestFor(kInitRequest);
    request.boardCount = boards_;
    request.monitorUnits = rules().monitorUnits;
    // The page left before asked the worker to stop; until it has taken that
    // request this one is refused, and the tick asks again.
    initPending_ = !env_.services.submit(request);
    return !initPending_;
}

}  // namespace clinora
