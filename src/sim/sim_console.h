#pragma once

#include <string>

#include "sim_bus.h"

namespace clinora::sim {

// Text commands that steer a SimBus from a terminal, one per line:
//   tilt A|B <degrees>, temp <celsius>, fault drop|garble|cut <rate 0..1>
//   (drop and garble hit commands and replies alike),
//   fault off, baud <rate>, collisions on|off, unplug, plug, fresh (a new
//   board at 65534), status, quit.
// Each command gets one short answer line: "ok ..." or "error: ...".
class SimConsole {
public:
    explicit SimConsole(SimBus& bus) : bus_(bus) {}

    struct Answer {
        std::string text;  // empty for an empty line
        bool quit = false;
    };
    Answer execute(const std::string& line);

private:
    std::string status() const;

    SimBus& bus_;
};

}  // namespace clinora::sim
