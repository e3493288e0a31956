#pragma once

// Ctrl-C and a termination request set a flag that the command-line
// programs look at, so that they end in order (close the port, the log).
#include <signal.h>

#include <atomic>

namespace clinora {

inline std::atomic<bool> gStopRequested{false};

extern "C" inline void OnStopSignal(int) { gStopRequested = true; }

inline void InstallStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocked poll or sleep returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

inline bool StopRequested() { return gStopRequested.load(); }

}  // namespace clinora
