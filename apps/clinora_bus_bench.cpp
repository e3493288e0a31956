// clinora-bus-bench: how close the bus comes to the pace the protocol allows.
// The three-board write and verify runs twice: once on virtual time against
// the simulated boards (only the protocol's byte pacing and pauses count: the
// floor) and once in real time over clinora-sim's pseudo-terminal. Prints both
// durations and their ratio.
//
// usage: clinora-bus-bench [--sim PATH]
#include <signal.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/clock.h"
#include "link/event_sink.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/termios_device.h"
#include "link/worker.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "sim/board_config.h"
#include "sim/sim_bus.h"
#include "sim_process.h"

namespace {

using namespace clinora;

constexpr int kBoards = 3;
constexpr int64_t kLimitMs = 15 * 60 * 1000;

// The worker's events with the clock time of each.
class EventLog final : public EventSink {
public:
    explicit EventLog(const Clock& clock) : clock_(clock) {}
    void post(int message, int first, int second) override {
        if (message != kWorkerEventMessage) return;
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({first, second, clock_.nowMs()});
    }
    // Time of the first event `code` (with `detail`, unless -1) from `from` on; -1 if none.
    int64_t timeOf(int code, int detail, size_t from = 0) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = from; i < events_.size(); ++i) {
            if (events_[i].code == code && (detail < 0 || events_[i].detail == detail))
                return events_[i].atMs;
        }
        return -1;
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_.size();
    }

private:
    struct Event {
        int code, detail;
        int64_t atMs;
    };
    const Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

struct Durations {
    double writeS = -1, verifyS = -1;
    bool ok() const { return writeS > 0 && verifyS > 0; }
};

std::array<DeviceRecord, kMaxBoards> Constants() {
    std::array<DeviceRecord, kMaxBoards> devices{};
    for (int b = 0; b < kBoards; ++b) {
        for (int k = 0; k < 6; ++k) devices[b].a[k] = 0.013 * (b + 1) - 0.21 * k;
        devices[b].aCrossLinear = 0.001 * b;
        devices[b].aCrossQuadratic = -0.0005;
    }
    return devices;
}

// Runs the write and then the verify of every board. `wait` lets the worker
// go on (a pass on virtual time, a short sleep in real time) and tells whether
// the time limit has passed.
Durations WriteAndVerify(SharedState& state, Clock& clock, const EventLog& log,
                         const std::function<bool()>& wait) {
    while (state.locked([](const SharedData& d) { return d.worker.state; }) !=
           kStateSingleReading) {
        if (!wait()) return {};
    }
    state.locked([](SharedData& d) {
        d.currentAddresses = {"101", "102", "103"};
        d.settings.axisSelector = 1;
    });
    Durations out;
    const struct {
        uint32_t code;
        int taken, done, failed;
        double Durations::*result;
    } steps[] = {
        {kWriteCalibrationRequest, kEventBoardWritten, kEventUploadsDone, kEventUploadFailed,
         &Durations::writeS},
        {kVerifyCalibrationRequest, kEventBoardVerified, kEventVerifiesDone, kEventVerifyFailed,
         &Durations::verifyS},
    };
    for (const auto& s : steps) {
        WorkerRequest request;
        request.code = s.code;
        request.record.targetAddress = "101";
        request.boardCount = kBoards;
        request.writeTarget = kBoards;
        request.devices = Constants();
        const size_t from = log.size();
        while (!SubmitRequest(state, request)) {
            if (!wait()) return {};
        }
        int64_t start = -1, end = -1;
        const int64_t limit = clock.nowMs() + kLimitMs;
        while (end < 0) {
            if (!wait() || clock.nowMs() > limit || log.timeOf(s.failed, s.failed, from) >= 0)
                return {};
            start = log.timeOf(s.taken, s.taken, from);
            end = log.timeOf(s.done, -1, from);
        }
        out.*s.result = (end - start) / 1000.0;
    }
    return out;
}

Durations OnVirtualTime() {
    VirtualClock clock{1000};
    sim::SimBus bus{clock};
    for (int b = 0; b < kBoards; ++b)
        bus.addBoard(sim::VariedBoard(std::to_string(101 + b), 1 + b));
    SerialPort port{bus};
    SharedState state{port};
    auto log = std::make_shared<EventLog>(clock);
    state.locked([&](SharedData& d) {
        d.worker.usbPortFound = true;
        d.worker.started = true;
        d.worker.currentPage = log;
    });
    Worker worker{state, clock};
    return WriteAndVerify(state, clock, *log, [&] {
        worker.pass();
        return true;
    });
}

Durations OnPseudoTerminal(const std::string& simProgram) {
    SimProcess sim;
    if (!sim.start(simProgram, {"--boards", std::to_string(kBoards)})) {
        std::fprintf(stderr, "cannot start %s\n", simProgram.c_str());
        return {};
    }
    const std::string path = sim.slavePath();
    if (path.empty()) return {};
    RealClock clock;
    TermiosDevice device;
    SerialPort port{device};
    port.pinPath(path);
    SharedState state{port};
    state.locked([](SharedData& d) { d.worker.usbPortFound = true; });
    auto log = std::make_shared<EventLog>(clock);
    Durations out;
    {
        WorkerThread thread{clock};
        StartWorker(state, thread, log, 1);
        out = WriteAndVerify(state, clock, *log, [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return true;
        });
    }
    sim.stop();
    return out;
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--sim PATH]\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string simProgram = SiblingProgram("clinora-sim");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sim" && i + 1 < argc) {
            simProgram = argv[++i];
        } else {
            return Usage(argv[0]);
        }
    }
    signal(SIGPIPE, SIG_IGN);

    const Durations floor = OnVirtualTime();
    if (!floor.ok()) {
        std::fprintf(stderr, "the write and verify failed on virtual time\n");
        return 1;
    }
    std::printf("virtual time (the floor): write %.2f s, verify %.2f s, together %.2f s\n",
                floor.writeS, floor.verifyS, floor.writeS + floor.verifyS);
    std::fflush(stdout);
    const Durations real = OnPseudoTerminal(simProgram);
    if (!real.ok()) {
        std::fprintf(stderr, "the write and verify failed over the pseudo-terminal\n");
        return 1;
    }
    const double floorS = floor.writeS + floor.verifyS;
    const double realS = real.writeS + real.verifyS;
    std::printf("pseudo-terminal, real time: write %.2f s, verify %.2f s, together %.2f s\n",
                real.writeS, real.verifyS, realS);
    std::printf("ratio %.4f (write %.4f, verify %.4f)\n", realS / floorS,
                real.writeS / floor.writeS, real.verifyS / floor.verifyS);
    return 0;
}
