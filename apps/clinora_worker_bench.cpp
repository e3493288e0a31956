// clinora-worker-bench: how much processor time the communication worker
// takes while it monitors a board in real time. It starts clinora-sim in a
// separate process (so the simulated boards do not count), runs the worker
// on its thread against the simulator's pseudo-terminal and prints the
// process CPU time used.
//
// usage: clinora-worker-bench [--seconds N] [--sim PATH]
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

extern char** environ;

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

// clinora-sim as a child process with its standard input and output on pipes.
class SimProcess {
public:
    ~SimProcess() { stop(); }

    bool start(const std::string& program) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char boardsOption[] = "--boards";
        char boardsValue[] = "1";
        char* argv[] = {const_cast<char*>(program.c_str()), boardsOption, boardsValue, nullptr};
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = fdopen(out[0], "r");
        if (rc != 0) {
            pid_ = -1;
            return false;
        }
        return output_ != nullptr;
    }

    // The first line the simulator prints: its pseudo-terminal path.
    std::string slavePath() {
        char line[PATH_MAX];
        if (!output_ || !std::fgets(line, sizeof line, output_)) return {};
        std::string path(line);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        return path;
    }

    void stop() {
        if (input_ >= 0) {
            const char quit[] = "quit\n";
            (void)!write(input_, quit, sizeof quit - 1);
            close(input_);
            input_ = -1;
        }
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        if (output_) {
            std::fclose(output_);
            output_ = nullptr;
        }
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    FILE* output_ = nullptr;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string SiblingProgram(const char* name) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--seconds N (1..3600, default 30)] [--sim PATH]\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    std::string simProgram = SiblingProgram("clinora-sim");
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

    SimProcess sim;
    if (!sim.start(simProgram)) {
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
