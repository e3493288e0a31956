#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "sim_bus.h"

namespace clinora::sim {

// Serves a SimBus on a pseudo-terminal, so that a program can open the slave
// path as if it were a serial port. A thread moves bytes between the master
// side and the bus and tells the bus the rate the client set on the line.
// The bus must run on a RealClock.
class PtyBridge {
public:
    explicit PtyBridge(SimBus& bus) : bus_(bus) {}
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // Creates the pseudo-terminal and starts serving. 0 or an errno code.
    int start();
    // Stops serving and closes the pseudo-terminal; the slave path goes away.
    void stop();
    bool running() const { return thread_.joinable(); }
    // The path clients open, e.g. /dev/pts/4; empty before start().
    const std::string& slavePath() const { return slavePath_; }

private:
    void run();
    void closeFds();

    SimBus& bus_;
    int master_ = -1;
    int slave_ = -1;  // kept open so the terminal stays up between clients
    std::string slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace clinora::sim
