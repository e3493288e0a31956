// upload and verify: a calibration data file's constants to a board and back,
// through the worker's write and verify requests.
#include <algorithm>
#include <fstream>
#include <vector>

#include "app/constants_upload.h"
#include "calib/cal_data_file.h"
#include "cli_commands.h"
#include "link/link_words.h"
#include "link/worker_codes.h"

namespace clinora::cli {
namespace {

// Command lines of one attempt, for the progress line: an upload first copies
// the cells a misheard line may hit, writes the eight words and the checksum
// of each axis, then four date bytes, four fixed bytes and "I"; a verify reads
// the eight words of one axis byte by byte, its checksum, the fixed bytes and
// the date. Lines asked again on a noisy line add to these.
constexpr int kUploadImageLines = 22;
constexpr int kUploadLinesPerAxis = 9;
constexpr int kUploadLinesAfterAxes = 9;
constexpr int kVerifyLines = 41;
// Far more than five attempts of the slowest upload take.
constexpr int64_t kWorkerLimitMs = 10 * 60 * 1000;

// The progress of one attempt on standard error: one line rewritten in place
// on a terminal, otherwise a line at every quarter.
class ProgressLine {
public:
    explicit ProgressLine(CliIo& io) : io_(io) {}

    void start(const std::string& text, int total) {
        end();
        text_ = text;
        total_ = std::max(total, 1);
        done_ = 0;
        quarter_ = -1;
        show();
    }
    void step() {
        if (text_.empty()) return;
        ++done_;
        show();
    }
    // A message of its own line; ends the progress line.
    void message(const std::string& text) {
        end();
        io_.err << text << std::endl;
    }
    void finish() { end(); }

private:
    void show() {
        const int percent = std::min(100, done_ * 100 / total_);
        if (io_.progressInPlace) {
            io_.err << '\r' << text_ << ": " << percent << '%' << std::flush;
            inPlace_ = true;
        } else if (percent / 25 > quarter_) {
            quarter_ = percent / 25;
            io_.err << text_ << ": " << percent << '%' << std::endl;
        }
    }
    void end() {
        if (inPlace_) io_.err << std::endl;
        inPlace_ = false;
        text_.clear();
    }

    CliIo& io_;
    std::string text_;
    int total_ = 1;
    int done_ = 0;
    int quarter_ = -1;
    bool inPlace_ = false;
};

bool Readable(const std::string& path) { return std::ifstream(path).good(); }

}  // namespace

// One request handed to the worker: a write (one axis or both) or the verify
// of one axis, with its progress line and messages.
struct TransferStep {
    uint32_t code;
    int axis;  // axis selector: 1 = A, 0 = B
};

int RunTransfer(const CliOptions& options, CliBus& bus, CliIo& io) {
    const bool verifyOnly = options.command == Command::Verify;
    const bool biaxial = !verifyOnly && options.biaxial;
    const std::string& address = options.address;

    // The file first: its constants must be usable before the bus is touched.
    DeviceRecord record;
    record.addressNumber = std::stoi(address);
    if (!Readable(options.file)) return Fail(io, "cannot open " + options.file);
    const int count = calib::CalDataFile().ReadCalibrationConstants(options.file, record);
    const std::string fileError = std::string(kFileReadErrorText) + ": " + options.file + ": ";
    if (count < calib::kConstantsUsable)
        return Fail(io, fileError + calib::ConstantsReadProblem(count));
    const int axis = options.axis.value_or(AxisSelectorOfFile(options.file));
    if (biaxial && BiaxialDataMissing(record)) return Fail(io, kBiaxialDataMissingText);
    // A file cut short in its axis B block would put default constants on the
    // board in place of its calibration.
    if ((biaxial || axis == 0) && count < calib::kConstantsComplete)
        return Fail(io, fileError + "the axis B constants are incomplete: " +
                            calib::ConstantsReadProblem(count));
    const std::string refusal =
        ConstantsFileRefusal(options.file, record, axis, biaxial, address, options.force);
    if (!refusal.empty()) return Fail(io, refusal);

    std::string error;
    if (!bus.connect(address, error))
        return Stopped(io) ? Fail(io, "stopped", StoppedStatus(io)) : Fail(io, error);
    bus.state().locked([&](SharedData& d) {
        d.currentAddresses = {address};
        d.devices[0] = record;
        d.worker.boardCount = 1;
        d.worker.writeTarget = 0;  // this one board
        d.worker.currentBoardIndex = 0;
    });
    RequestRecord request;
    request.targetAddress = address;
    request.boardList = {address};

    // The write, then (unless told not to) the verify of every axis written,
    // since an echo cannot tell which board answered.
    std::vector<TransferStep> steps;
    if (!verifyOnly)
        steps.push_back({biaxial ? kBiaxialWriteRequest : kWriteCalibrationRequest, axis});
    if (verifyOnly || options.verifyAfter) {
        if (biaxial) {
            steps.push_back({kVerifyCalibrationRequest, 1});
            steps.push_back({kVerifyCalibrationRequest, 0});
        } else {
            steps.push_back({kVerifyCalibrationRequest, axis});
        }
    }
    const std::string axes = biaxial ? "axes A and B" : axis == 1 ? "axis A" : "axis B";
    io.err << (verifyOnly ? "Verifying the " : "Writing the ") << axes << " constants of "
           << options.file << (verifyOnly ? " against board " : " to board ") << address << " on "
           << bus.portPath() << std::endl;

    ProgressLine progress(io);
    bus.onCommandSent([&] { progress.step(); });
    const auto secondStop = [&](const std::string& note) {
        if (io.secondStopNote) io.secondStopNote(note);
    };
    const std::string partial = PartialCalibrationText(address, axes);
    using Verdict = CliBus::Verdict;
    Verdict verdict = Verdict::Success;
    bool writing = false;
    for (const TransferStep& step : steps) {
        const bool verify = step.code == kVerifyCalibrationRequest;
        bus.state().locked([&](SharedData& d) { d.settings.axisSelector = step.axis; });
        const int lines = verify ? kVerifyLines
                                 : kUploadImageLines + (biaxial ? 2 : 1) * kUploadLinesPerAxis +
                                       kUploadLinesAfterAxes;
        const std::string doing = verify ? "verifying # " : "writing # ";
        int retries = 0;
        const auto onEvent = [&](int event, int detail) {
            // Stopping: what the worker says of the attempt it gave up is no news.
            if (Stopped(io)) return Verdict::Interrupted;
            switch (event) {
                case kEventUploadStarting:
                case kEventVerifyStarting:
                    writing = !verify;
                    if (writing) secondStop("\nclinora-cli: stopped at once. " + partial + "\n");
                    progress.start((verify ? "Verifying board # " : "Writing board # ") + address,
                                   lines);
                    return Verdict::Continue;
                case kEventStrayWrite: {
                    const auto reports = bus.state().snapshot().worker.strayReports;
                    if (detail >= 0 && detail < static_cast<int>(reports.size()))
                        progress.message(StrayWriteText(reports[detail]));
                    return Verdict::Continue;
                }
                case kEventUploadsDone:
                case kEventVerifiesDone:
                    progress.message(verify ? "Success verifying" : "Success writing");
                    return Verdict::Success;
                case kEventUploadFailed:
                case kEventVerifyFailed:
                    if (detail == event) {
                        progress.message("Error " + doing + address);
                        return Verdict::Failure;
                    }
                    if (detail != retries) {
                        retries = detail;
                        progress.message(std::to_string(detail) + " errors " + doing + address +
                                         "; trying again");
                    }
                    return Verdict::Continue;
                case kEventNoBoard:
                    progress.message(
                        OnDevice("No board answered at address " + address, bus.portPath()));
                    return Verdict::Failure;
                default:
                    return Verdict::Continue;
            }
        };
        verdict = bus.runWorker(request, step.code, onEvent, io.stopRequested, kWorkerLimitMs);
        // A write that ended (either way) leaves no half-written board behind.
        if (verdict != Verdict::Interrupted) {
            writing = false;
            secondStop("");
        }
        if (verdict != Verdict::Success) break;
    }
    bus.onCommandSent(nullptr);
    progress.finish();

    const std::vector<StrayReport> strays = bus.state().snapshot().worker.strayReports;
    const bool strayLeft = std::any_of(strays.begin(), strays.end(),
                                       [](const StrayReport& r) { return !StrayIsMended(r); });
    switch (verdict) {
        case Verdict::Success:
            if (strayLeft)
                return Fail(io,
                            "the constants are on board " + address +
                                ", but a garbled command changed another cell (above)",
                            kExitStrayWrite);
            return kExitOk;
        case Verdict::Interrupted: {
            // Only a board whose writing had begun may be half new, half old.
            const bool begun = writing && bus.state().snapshot().worker.transferStep > 0;
            secondStop("");
            return Fail(io, begun ? "stopped. " + partial : std::string("stopped"),
                        StoppedStatus(io));
        }
        case Verdict::TimedOut:
            return Fail(io, OnDevice("the board did not finish in time", bus.portPath()));
        default:
            break;
    }
    const bool verifyFailed = !steps.empty() && bus.state().snapshot().worker.lastRequestCode ==
                                                    kVerifyCalibrationRequest;
    return Fail(io,
                OnDevice(verifyFailed ? "board " + address + " does not hold the constants of " +
                                            options.file + ", or they could not be read back"
                                      : "the constants could not be written to board " + address,
                         bus.portPath()));
}

}  // namespace clinora::cli
