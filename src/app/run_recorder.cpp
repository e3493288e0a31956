#include "app/run_recorder.h"

#include "records/digest.h"
#include "records/utc_time.h"

namespace clinora {

void RunRecorder::startVisit(std::vector<std::string> addresses) {
    addresses_ = std::move(addresses);
    boards_ = {};
    run_.reset();
    extras_ = {};
}

void RunRecorder::boardInitialised(int slot, const BoardInfo& info) {
    if (slot < 0 || slot >= kMaxBoards) return;
    boards_[slot] = info;
}

records::BoardIdentity RunRecorder::identity(int slot) const {
    const std::string address =
        slot >= 0 && slot < static_cast<int>(addresses_.size()) ? addresses_[slot] : std::string();
    if (slot < 0 || slot >= kMaxBoards || !boards_[slot] || boards_[slot]->address != address)
        return records::UnknownBoard(address);
    const BoardInfo& b = *boards_[slot];
    return records::IdentityOf(address, b.serial.value_or(std::string()), b.firmware,
                               b.boardRevision);
}

void RunRecorder::startRun(const records::StationInfo& station, int axis,
                           records::RunSetup setup) {
    setup.start = records::UtcNow();
    setup.end.clear();
    run_ = records::NewRun(station, axis, setup);
    extras_ = {};
}

void RunRecorder::accepted(int slot, bool firstSweep, int k, std::optional<double> otherAxis,
                           std::optional<double> temperature) {
    if (slot < 0 || slot >= kMaxBoards) return;
    extras_[slot].store(firstSweep, k, otherAxis, temperature);
}

void RunRecorder::endRun() {
    if (run_) run_->setup.end = records::UtcNow();
}

std::optional<records::RunInfo> RunRecorder::run(bool negate) const {
    if (!run_) return std::nullopt;
    records::RunInfo run = *run_;
    run.setup.negate = negate;
    if (run.setup.end.empty()) run.setup.end = records::UtcNow();
    return run;
}

records::FileRef FileInFolder(const std::string& folder, const std::string& name) {
    return {name, records::Sha256OfFile(folder + name).value_or(std::string())};
}

}  // namespace clinora
