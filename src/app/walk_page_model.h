#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_files.h"
#include "app/cal_session.h"
#include "app/page_copies.h"
#include "app/page_services.h"
#include "app/run_recorder.h"
#include "app/walk_view.h"
#include "calib/cal_data_file.h"
#include "calib/prompt_file.h"
#include "calib/prompt_walk.h"
#include "calib/running_average.h"
#include "link/request_record.h"
#include "link/shared_state.h"

namespace clinora {

// What a calibration page model works with.
struct WalkEnvironment {
    SharedState& state;
    PageCopies& copies;
    const AppFiles& files;
    CalSession& session;
    PageServices& services;
    // Seconds since 1970, for the calibration time of a record.
    std::function<int64_t()> epochSeconds;
    // Where the records of runs, writes and verifies go; none: not recorded.
    RecordKeeper* records = nullptr;
};

// The rules the Cal and Test pages share: the walk through the prompt rows,
// the running averages sampled on the 200 ms tick, the readout colours, the
// reading events, Accept, Back, the axis and the message blink. The pages'
// own rules are the virtual functions. Qt-free: the page feeds it ticks,
// worker events and button presses, renders view() and carries out what it
// asks of PageServices.
class WalkPageModel {
public:
    explicit WalkPageModel(WalkEnvironment environment);
    virtual ~WalkPageModel() = default;
    WalkPageModel(const WalkPageModel&) = delete;
    WalkPageModel& operator=(const WalkPageModel&) = delete;

    const WalkView& view() const { return view_; }

    void activate();
    virtual void deactivate();
    void tick();
    void onWorkerEvent(int code, int detail);
    void accept();
    void back();
    void chooseAxis(bool axisA);
    virtual void init();
    // The Setup dialog ended with OK: its continuous read flag and tolerances.
    void setupAccepted(bool continuousRead, double toleranceCal, double toleranceTest);
    void selectBoard(int comboIndex);
    // Writes the files of a run whose last position was just accepted.
    void runPendingWrite();
    void runPendingFollowUp();

    // The question before the page is left, empty when nothing would be
    // lost: a write or verify under way, or accepted positions that no file
    // holds yet.
    std::string leaveQuestion() const;
    // The page was left for Exit and the user stayed: reading resumes with
    // the walk as it was.
    void resume();

    // State, for the page and tests.
    const calib::PromptWalk& walk() const { return walk_; }
    int readingsCounter() const { return readings_; }
    int boardsOnPage() const { return boards_; }
    bool collected() const { return collected_; }
    bool allSelected() const { return view_.comboSelection == boards_; }

protected:
    // What differs between the pages.
    struct Rules {
        const char* title;
        const char* collectedStatus;  // status text of a collected board
        int monitorUnits;             // "RU" code the page reads in
        int targetDecimals;           // of the small target static
        bool backClearsReadings;      // Back clears the readings counter
        bool noiseBarMoves;
    };
    // A row's target and readout limits on the chosen axis.
    struct RowLimits {
        double target, low, high;
    };
    virtual const Rules& rules() const = 0;
    virtual RowLimits limits(const calib::PromptRow& row, bool axisA) const = 0;
    // The range check tolerance at Accept.
    virtual double tolerance() const = 0;
    // Whether an operation keeps the messages of events 13, 30 and 31 off the line.
    virtual bool quietFor(int code) const = 0;
    virtual void clearOperationFlags() = 0;
    // The Accept-enabling rule of the tick.
    virtual void updateAccept() = 0;
    // The first Accept of a run or visit.
    virtual void firstAccept() = 0;
    // Last word before values are stored; false ends the Accept.
    virtual bool mayStore() { return true; }
    // Writes the files of the collected run.
    virtual void write() = 0;
    // The step after a write, on the next turn (see WalkView::followUpPending).
    virtual void followUp() {}
    // Events beyond the reading events; false when not handled.
    virtual bool onOtherEvent(int, int) { return false; }
    // The last position was accepted (before the files are written).
    virtual void collectedRun() {}
    // The leave question of a write or verify under way, if one runs.
    virtual std::string transferQuestion() const { return {}; }
    // Activation's last step and the tick's last step.
    virtual void activated() {}
    virtual void ticked() {}

    // Shared helpers.
    void setMessage(const std::string& text, bool blink = false);
    void caption();
    void showPrompt();
    std::string address(int slot) const;
    int chosenAxis() const { return view_.axisA ? 0 : 1; }
    DeviceRecord& record(int slot) { return env_.session.devices[slot]; }
    // The boards an action takes: all boards on the page with "All", else the one chosen.
    std::vector<int> chosenBoards() const;
    // The current board's address: the entry at the worker's board index.
    std::string workerBoardAddress(int offset = 0) const;
    void playChosenSound();
    bool sendInit();
    // The init request with the counters, the blink and the operation flags cleared.
    void startReading();
    // The writer of the run's files: working folder, positions, tilt range.
    calib::CalDataFile dataFile() const;
    WorkerRequest requestFor(uint32_t code) const;

    WalkEnvironment env_;
    WalkView view_;
    std::vector<calib::PromptRow> rows_;
    calib::PromptWalk walk_;
    std::array<calib::RunningAverage, kMaxBoards> averages_{};
    std::array<uint32_t, kMaxBoards> fedSequence_{};  // the reading each average took last
    std::vector<std::string> addresses_;  // the first six of the current address list
    int boards_ = 0;
    int readings_ = 0;  // reading events since the last Accept, Back or Init
    bool promptValid_ = false;
    bool collected_ = false;
    bool started_ = false;
    bool boardError_ = false;
    bool blink_ = false;
    bool initPending_ = false;  // the init request was refused: asked again on the tick
    bool runSaved_ = false;     // every board's file of the collected run was written
    int blinkCount_ = 0;
    std::string promptForFiles_;  // "A Axis,<label>"
    RequestRecord record_;
    // What the records of this visit's run need beside the device records.
    RunRecorder recorder_;
    records::FileRef promptFile_;  // the prompt file read at activation

private:
    void readPromptFile();
    // The first Accept of a run: how it is made, for its records.
    void startRecordedRun();
    // An Accept stored board `slot`'s value at position `k` of a sweep: the
    // other axis and the temperature then, for its record.
    void noteAccepted(int slot, bool firstSweep, int k);
    void takeReading(int slot);
    // What a board's readout shows and Accept stores on the chosen axis: the
    // running mean with averaging, else the latest reading.
    double boardValue(int slot) const;
    void colourReadout(int slot, double value);
    void storeAcceptedValues();
    // The Accept's range check: one line per board outside, empty when all pass.
    std::string rangeErrors(double target) const;
    int acceptedPositions() const;
    void blinkStep();
};

}  // namespace clinora
