#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/record_keeper.h"
#include "link/device_record.h"
#include "link/shared_state.h"
#include "records/record_builders.h"

namespace clinora {

// What the Cal and Test pages note for their records beside the device
// records: each board's identity as the worker read it at initialisation,
// the run (station, operator, prompt file, options, start and end) and,
// at every Accept, the other axis's reading and the board's temperature.
// The pages build the records from it right after writing their files.
class RunRecorder {
public:
    // The page is (re)activated: no identity known, no run.
    void startVisit(std::vector<std::string> addresses);
    // The worker initialised the board of `slot`; `info` is what it told.
    void boardInitialised(int slot, const BoardInfo& info);
    // The board of `slot` as the records name it: its identity when it told
    // it for this address, else its address and "unknown".
    records::BoardIdentity identity(int slot) const;

    // The first Accept of a run (start time now, a new run UUID).
    void startRun(const records::StationInfo& station, int axis, records::RunSetup setup);
    bool running() const { return run_.has_value(); }
    // What one Accept stored for board `slot` at sweep position `k`.
    void accepted(int slot, bool firstSweep, int k, std::optional<double> otherAxis,
                  std::optional<double> temperature);
    // The last position was accepted: the run's end time.
    void endRun();
    // The run for the records, with the axis's sign of the fit.
    std::optional<records::RunInfo> run(bool negate) const;
    const records::AcceptExtras& extras(int slot) const { return extras_[slot]; }

private:
    std::vector<std::string> addresses_;
    std::array<std::optional<BoardInfo>, kMaxBoards> boards_{};
    std::optional<records::RunInfo> run_;
    std::array<records::AcceptExtras, kMaxBoards> extras_{};
};

// The records to keep for one event; handed over when it goes out of
// scope, so that every way out of a page action keeps what was made.
class RecordBatch {
public:
    explicit RecordBatch(RecordKeeper* keeper) : keeper_(keeper) {}
    ~RecordBatch() {
        if (keeper_ && !records_.empty()) keeper_->keep(std::move(records_));
    }
    RecordBatch(const RecordBatch&) = delete;
    RecordBatch& operator=(const RecordBatch&) = delete;
    bool active() const { return keeper_ != nullptr; }
    void add(records::Record record) { records_.push_back(std::move(record)); }

private:
    RecordKeeper* keeper_;
    std::vector<records::Record> records_;
};

// A file of the working folder as a record names it: its name and the
// SHA-256 of what it holds now (empty when it cannot be read).
records::FileRef FileInFolder(const std::string& folder, const std::string& name);

}  // namespace clinora
