// upload and verify: a calibration data file's constants to a board and back,
// through the worker's write and verify requests.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/constants_upload.h"
#include "calib/cal_data_file.h"
#include "cli_commands.h"
#include "link/worker_codes.h"

namespace clinora::cli {
namespace {

// Command lines of one attempt, for the progress line: an upload writes the
// eight words and the checksum of each axis, then four date bytes, four fixed
// bytes and "I"; a verify reads the eight words of one axis byte by byte and
// its checksum. Lines asked again on a noisy line add to these.
constexpr int kUploadLinesPerAxis = 9;
constexpr int kUploadLinesAfterAxes = 9;
constexpr int kVerifyLines = 33;
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

int RunTransfer(const CliOptions& options, CliBus& bus, CliIo& io) {
    const bool verify = options.command == Command::Verify;
    const bool biaxial = !verify && options.biaxial;
    const std::string& address = options.address;

    // The file first: its constants must be usable before the bus is touched.
    DeviceRecord record;
    record.addressNumber = std::stoi(address);
    if (!Readable(options.file)) return Fail(io, "cannot open " + options.file);
    const int count = calib::CalDataFile().ReadCalibrationConstants(options.file, record);
    if (count < calib::kConstantsUsable)
        return Fail(io, std::string(kFileReadErrorText) + ": " + options.file +
                            " holds no calibration constants");
    const int axis = options.axis.value_or(AxisSelectorOfFile(options.file));
    if (biaxial && BiaxialDataMissing(record)) return Fail(io, kBiaxialDataMissingText);
    // A file cut short in its axis B block would put default constants on the
    // board in place of its calibration.
    if ((biaxial || axis == 0) && count < calib::kConstantsComplete)
        return Fail(io, std::string(kFileReadErrorText) + ": the axis B constants of " +
                            options.file + " are incomplete");

    std::string error;
    if (!bus.connect(address, error)) return Fail(io, error);
    bus.state().locked([&](SharedData& d) {
        d.settings.axisSelector = axis;
        d.currentAddresses = {address};
        d.devices[0] = record;
        d.worker.boardCount = 1;
        d.worker.writeTarget = 0;  // this one board
        d.worker.currentBoardIndex = 0;
    });
    RequestRecord request;
    request.targetAddress = address;
    request.boardList = {address};
    const uint32_t code = verify    ? kVerifyCalibrationRequest
                          : biaxial ? kBiaxialWriteRequest
                                    : kWriteCalibrationRequest;
    const int lines =
        verify ? kVerifyLines : (biaxial ? 2 : 1) * kUploadLinesPerAxis + kUploadLinesAfterAxes;
    const std::string axes = biaxial ? "axes A and B" : axis == 1 ? "axis A" : "axis B";
    io.err << (verify ? "Verifying the " : "Writing the ") << axes << " constants of "
           << options.file << (verify ? " against board " : " to board ") << address << " on "
           << bus.portPath() << std::endl;

    ProgressLine progress(io);
    bus.onCommandSent([&] { progress.step(); });
    const std::string doing = verify ? "verifying # " : "writing # ";
    int retries = 0;
    using Verdict = CliBus::Verdict;
    const auto onEvent = [&](int event, int detail) {
        switch (event) {
            case kEventUploadStarting:
            case kEventVerifyStarting:
                progress.start((verify ? "Verifying board # " : "Writing board # ") + address,
                               lines);
                return Verdict::Continue;
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
                progress.message("No board answered at address " + address);
                return Verdict::Failure;
            default:
                return Verdict::Continue;
        }
    };
    const Verdict verdict = bus.runWorker(request, code, onEvent, io.stopRequested, kWorkerLimitMs);
    bus.onCommandSent(nullptr);
    switch (verdict) {
        case Verdict::Success:
            return kExitOk;
        case Verdict::Interrupted:
            return Fail(io, "interrupted");
        case Verdict::TimedOut:
            return Fail(io, "the board did not finish in time");
        default:
            return Fail(io, verify ? "board " + address + " does not hold the constants of " +
                                         options.file + ", or they could not be read back"
                                   : "the constants could not be written to board " + address);
    }
}

}  // namespace clinora::cli
