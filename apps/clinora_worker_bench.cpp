// clinora-worker-bench: how much processor time the communication worker
// takes while it monitors a board in real time. It starts clinora-sim in a
// separate process (so the simulated boards do not count), runs the worker
// on its thread against the simulator's pseudo-terminal and prints the
// process CPU time used.
//
// usage: clinora-worker-bench [--seconds N] [--sim PATH]
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "link/clock.h"
#include "link/event_sink.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/termios_device.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "sim_process.h"

namespace {

// Counts the readings the worker announces.
class ReadingCounter final : public clinora::EventSink {
public:
    void post(int message, int first, int second) override {
        if (message == clinora::kWorkerEventMessage && first == clinora::kEventSingleReading &&
            second == 1) {
            ++count_;
        }
    }
    int count() const { return count_.load(); }

private:
    std::atomic<int> count_{0};
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--seconds N (1..3600, default 30)] [--sim PATH]\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    std::string simProgram = clinora::SiblingProgram("clinora-sim");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
            if (seconds < 1 || seconds > 3600) return Usage(argv[0]);
        } else if (arg == "--sim" && i + 1 < argc) {
            simProgram = argv[++i];
        } else {
            return Usage(argv[0]);
        }
    }
    signal(SIGPIPE, SIG_IGN);

    clinora::SimProcess sim;
    if (!sim.start(simProgram, {"--boards", "1"})) {
        std::fprintf(stderr, "cannot start %s\n", simProgram.c_str());
        return 1;
    }
    const std::string path = sim.slavePath();
    if (path.empty()) {
        std::fprintf(stderr, "%s printed no pseudo-terminal path\n", simProgram.c_str());
        return 1;
    }

    clinora::RealClock clock;
    clinora::TermiosDevice device;
    clinora::SerialPort port{device};
    port.pinPath(path);
    clinora::SharedState state{port};
    state.locked([](clinora::SharedData& d) { d.worker.usbPortFound = true; });
    auto counter = std::make_shared<ReadingCounter>();

    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    {
        clinora::WorkerThread thread{clock};
        clinora::StartWorker(state, thread, counter, 1);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = CpuSeconds() - cpuBefore;
    sim.stop();

    const clinora::Readings r = state.snapshot().readings;
    std::printf("port %s, %.1f s of monitoring, %d readings (last A %s, B %s, %s)\n", path.c_str(),
                wall, counter->count(), r.axisA.c_str(), r.axisB.c_str(), r.temperature.c_str());
    std::printf("worker process CPU time %.3f s = %.3f%% of one core\n", cpu, 100.0 * cpu / wall);
    return counter->count() > 0 ? 0 : 1;
}
