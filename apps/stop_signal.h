#pragma once

// Ctrl-C and a termination request set a flag that the command-line
// programs look at, so that they end in order (the line being sent, the
// port, the log). A second signal ends the program at once, after saying
// the note set for that case, if any.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

namespace clinora {

inline std::atomic<int> gStopSignal{0};
// The note a second signal writes before the program ends; only read by the
// handler while gSecondStopNoteSet holds.
inline char gSecondStopNote[512];
inline std::atomic<bool> gSecondStopNoteSet{false};

extern "C" inline void OnStopSignal(int signal) {
    int none = 0;
    if (gStopSignal.compare_exchange_strong(none, signal)) return;
    if (gSecondStopNoteSet.load()) {
        // write() and _exit() are safe in a signal handler; the stream is not.
        const ssize_t written =
            ::write(STDERR_FILENO, gSecondStopNote, std::strlen(gSecondStopNote));
        (void)written;
    }
    ::_exit(128 + signal);
}

inline void InstallStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocked poll or sleep returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

inline bool StopRequested() { return gStopSignal.load() != 0; }
inline int StopSignal() { return gStopSignal.load(); }

// What a second signal says before the program ends at once; empty: nothing.
inline void SetSecondStopNote(const std::string& note) {
    gSecondStopNoteSet = false;
    const size_t n = std::min(note.size(), sizeof gSecondStopNote - 1);
    std::memcpy(gSecondStopNote, note.data(), n);
    gSecondStopNote[n] = '\0';
    gSecondStopNoteSet = !note.empty();
}

}  // namespace clinora
