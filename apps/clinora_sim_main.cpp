// clinora-sim: simulated tilt-sensor boards served on a pseudo-terminal.
// Prints the slave path as its first line, then takes fixture and fault
// commands on standard input (see SimConsole).
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "link/clock.h"
#include "sim/pty_bridge.h"
#include "sim/sim_bus.h"
#include "sim/sim_console.h"

namespace {

std::atomic<bool> gStop{false};

extern "C" void OnSignal(int) { gStop = true; }

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocked poll returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--boards N (1..32, default 3)] [--factory]\n", program);
    return 2;
}

// Reads standard input line by line without blocking a signal out.
class LineReader {
public:
    // One complete line; false at end of input or on a stop signal.
    bool next(std::string& line) {
        for (;;) {
            if (const size_t nl = pending_.find('\n'); nl != std::string::npos) {
                line = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            if (eof_) {
                if (pending_.empty()) return false;
                line.swap(pending_);
                pending_.clear();
                return true;
            }
            if (gStop) return false;
            pollfd p{STDIN_FILENO, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                eof_ = true;
            } else {
                pending_.append(buffer, static_cast<size_t>(n));
            }
        }
    }

private:
    std::string pending_;
    bool eof_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    int boards = 3;
    bool factory = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--factory") {
            factory = true;
        } else if (arg == "--boards" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 32) return Usage(argv[0]);
            boards = static_cast<int>(n);
        } else {
            return Usage(argv[0]);
        }
    }

    InstallSignals();
    clinora::RealClock clock;
    clinora::sim::SimBus bus(clock);
    if (factory) {
        bus.addBoard(clinora::sim::VariedBoard("65534", 1));
    } else {
        for (int i = 0; i < boards; ++i) {
            bus.addBoard(clinora::sim::VariedBoard(std::to_string(101 + i), 1 + i));
        }
    }

    clinora::sim::PtyBridge bridge(bus);
    if (const int code = bridge.start(); code != 0) {
        std::fprintf(stderr, "error: cannot create a pseudo-terminal: %s\n", std::strerror(code));
        return 1;
    }
    std::cout << bridge.slavePath() << std::endl;

    clinora::sim::SimConsole console(bus);
    LineReader reader;
    std::string line;
    while (!gStop && reader.next(line)) {
        const auto answer = console.execute(line);
        if (!answer.text.empty()) std::cout << answer.text << std::endl;
        if (answer.quit) break;
    }
    bridge.stop();
    return 0;
}
