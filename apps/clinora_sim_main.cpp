// clinora-sim: simulated tilt-sensor boards served on a pseudo-terminal.
// Prints the slave path as its first line, then takes fixture and fault
// commands on standard input (see SimConsole).
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "link/clock.h"
#include "product_version.h"
#include "sim/pty_bridge.h"
#include "sim/sim_bus.h"
#include "sim/sim_console.h"
#include "stop_signal.h"

namespace {

using clinora::StopRequested;

constexpr const char* kUsage =
    "Usage: clinora-sim [--boards N] [--factory]\n"
    "\n"
    "Serves simulated tilt-sensor boards on a pseudo-terminal. The first line\n"
    "printed is the device path (use it with clinora --port or clinora-cli\n"
    "--port). Standard input takes: tilt A|B DEGREES, temp CELSIUS,\n"
    "fault drop|garble|cut RATE, fault off, baud RATE, collisions, unplug, plug,\n"
    "status, quit.\n"
    "\n"
    "Options:\n"
    "  --boards N   N boards at addresses 101, 102, ... (1 to 32, default 3)\n"
    "  --factory    one board at the factory address 65534\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n";

int Usage() {
    std::fprintf(stderr, "clinora-sim: bad arguments\n%s", kUsage);
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
            if (StopRequested()) return false;
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
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s\n", clinora::VersionLine("clinora-sim").c_str());
            return 0;
        }
        if (arg == "--factory") {
            factory = true;
        } else if (arg == "--boards" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 32) return Usage();
            boards = static_cast<int>(n);
        } else {
            return Usage();
        }
    }

    clinora::InstallStopSignals();
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
    while (!StopRequested() && reader.next(line)) {
        const auto answer = console.execute(line);
        if (!answer.text.empty()) std::cout << answer.text << std::endl;
        if (answer.quit) break;
    }
    bridge.stop();
    return 0;
}
