#include "app/cal_page_model.h"

#include <algorithm>
#include <tuple>

#include "calib/running_average.h"
#include "link/worker_codes.h"

namespace clinora {

CalPageModel::CalPageModel(WalkEnvironment environment) : WalkPageModel(std::move(environment)) {
    view_.title = "Calibration";
}

const WalkPageModel::Rules& CalPageModel::rules() const {
    static const Rules kRules{"Calibration", CalSession::kCalibrated, 1, 3, true, true};
    return kRules;
}

WalkPageModel::RowLimits CalPageModel::limits(const calib::PromptRow& row, bool axisA) const {
    return axisA ? RowLimits{row.aTarget, row.aLow, row.aHigh}
                 : RowLimits{row.bTarget, row.bLow, row.bHigh};
}

std::string CalPageModel::transferQuestion() const {
    if (upload_)
        return "Constants are being written to the boards; leaving stops the write. Leave?";
    if (verify_) return "The boards are being verified; leaving stops the verify. Leave?";
    return {};
}

bool CalPageModel::quietFor(int code) const {
    if (code == kEventHeartbeat) return upload_ || writeFile_ || readFile_ || verify_;
    return upload_ || writeFile_ || verify_ || collected_;
}

void CalPageModel::clearOperationFlags() { upload_ = readFile_ = writeFile_ = verify_ = false; }

// Without averaging Accept comes after six reading events (at once in expert
// mode); with averaging once the averages have taken five windows of readings.
void CalPageModel::updateAccept() {
    const bool ready = promptValid_ && !collected_;
    if (!env_.copies.averagingOn) {
        if (readings_ > 5 || env_.copies.expertModeOn) {
            view_.promptColour = ready ? Shade::Green : Shade::White;
            if (ready) view_.enabled.accept = true;
            readings_ = 0;
        }
        return;
    }
    const int window = calib::RunningAverage::Window(env_.copies.averageNum);
    if (readings_ > 5 * window && ready) view_.enabled.accept = true;
}

void CalPageModel::firstAccept() {
    const int positions = walk_.positionsPerSweep();
    for (DeviceRecord& r : env_.session.devices) {
        calib::ClearAxisRun(r, calib::kAxisA, positions);
        calib::ClearAxisRun(r, calib::kAxisB, positions);
    }
    fit_.Reset(positions, env_.copies.tiltRange);
    view_.enabled.verify = false;
    residuals_.clear();
    view_.enabled.residuals = false;
}

// A write or verify under way stops with the page: its record says so.
void CalPageModel::deactivate() {
    endTransfer("stopped: the page was left");
    WalkPageModel::deactivate();
}

void CalPageModel::activated() {
    transfer_.reset();
    view_.progress = {};
    view_.enabled.residuals = !residuals_.empty();
    view_.negateA = env_.copies.negateA;
    view_.negateB = env_.copies.negateB;
    view_.busy = false;
}

// The check boxes take effect for the next fit at once.
void CalPageModel::setNegate(bool axisA, bool on) {
    (axisA ? env_.copies.negateA : env_.copies.negateB) = on;
    (axisA ? view_.negateA : view_.negateB) = on;
}

bool CalPageModel::negate() const {
    return view_.axisA ? env_.copies.negateA : env_.copies.negateB;
}

void CalPageModel::ticked() {
    view_.busy = upload_ || verify_;
    if (view_.busy && stepsLive_) updateProgress(ProgressPoint::Tick);
}

// All boards: those before the worker's board index are done; one board: none
// until its done event. The step counter counts for the board that started last.
void CalPageModel::updateProgress(ProgressPoint point) {
    const auto [index, target, count, step, steps] = env_.state.locked([](const SharedData& d) {
        const WorkerShared& w = d.worker;
        return std::make_tuple(w.currentBoardIndex, w.writeTarget, w.boardCount, w.transferStep,
                               w.transferSteps);
    });
    WalkView::Progress& p = view_.progress;
    p.visible = true;
    p.boards = target == count ? std::max(count, 1) : 1;
    p.steps = std::max(steps, 1);
    if (point == ProgressPoint::Finished) {
        p.boardsDone = p.boards;
        p.step = p.steps;
        return;
    }
    p.boardsDone = target == count ? std::clamp(index, 0, p.boards) : 0;
    if (point == ProgressPoint::BoardStarting) {
        stepsLive_ = true;
        stepsBoard_ = p.boardsDone;
    }
    p.step = p.boardsDone == stepsBoard_ ? std::clamp(step, 0, p.steps) : 0;
}

}  // namespace clinora
