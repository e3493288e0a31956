#include "sim_console.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

#include "link/number_text.h"

namespace clinora::sim {

namespace {

constexpr double kMaxTiltDeg = 180.0;
constexpr double kLowestTempC = -40.0, kHighestTempC = 85.0;  // what a board survives
constexpr int kMaxBaud = 4000000;

}  // namespace

SimConsole::Answer SimConsole::execute(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.empty()) return {};
    const std::string& cmd = w[0];

    if (cmd == "tilt" && w.size() == 3 &&
        (w[1] == "A" || w[1] == "B" || w[1] == "a" || w[1] == "b")) {
        const auto deg = ParseWholeDouble(w[2]);
        if (!deg || std::fabs(*deg) > kMaxTiltDeg) return {"error: tilt must be -180..180 degrees"};
        const int axis = (w[1] == "A" || w[1] == "a") ? 0 : 1;
        bus_.setTilt(axis, *deg);
        return {"ok tilt " + std::string(axis == 0 ? "A " : "B ") + Printf("%.3f", *deg)};
    }
    if (cmd == "temp" && w.size() == 2) {
        const auto c = ParseWholeDouble(w[1]);
        if (!c || *c < kLowestTempC || *c > kHighestTempC) return {"error: temp must be -40..85 C"};
        bus_.setTemperature(*c);
        return {"ok temp " + Printf("%.2f", *c)};
    }
    if (cmd == "fault" && w.size() == 2 && w[1] == "off") {
        bus_.clearFaults();
        return {"ok faults off"};
    }
    if (cmd == "fault" && w.size() == 3 && (w[1] == "drop" || w[1] == "garble" || w[1] == "cut")) {
        const auto rate = ParseWholeDouble(w[2]);
        if (!rate || *rate < 0.0 || *rate > 1.0) return {"error: rate must be 0..1"};
        // Noise on the line hits what the boards hear as well as their replies.
        LineFaults f = bus_.status().faults;
        if (w[1] == "drop") {
            f.drop = f.commandLoss = *rate;
        } else if (w[1] == "garble") {
            f.garble = f.commandChange = *rate;
        } else {
            f.cut = *rate;
        }
        bus_.setFaults(f);
        return {"ok " + w[1] + " " + Printf("%.3f", *rate)};
    }
    if (cmd == "baud" && w.size() == 2) {
        const auto rate = ParseWholeDouble(w[1]);
        if (!rate || *rate < 1 || *rate > kMaxBaud || *rate != std::floor(*rate)) {
            return {"error: baud must be a whole rate"};
        }
        bus_.setBoardBaud(static_cast<int>(*rate));
        return {"ok boards listen at " + w[1]};
    }
    if (cmd == "collisions" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        bus_.setCollisions(w[1] == "on");
        return {"ok collisions " + w[1]};
    }
    if (cmd == "unplug" && w.size() == 1) {
        bus_.unplug();
        return {"ok unplugged"};
    }
    if (cmd == "plug" && w.size() == 1) {
        bus_.plug();
        return {"ok plugged"};
    }
    if (cmd == "fresh" && w.size() == 1) {
        if (!bus_.addFreshBoard()) return {"error: a board at 65534 is already on the bus"};
        return {"ok fresh board at 65534"};
    }
    if (cmd == "status" && w.size() == 1) return {"ok " + status()};
    if (cmd == "quit" && w.size() == 1) return {"ok bye", true};
    return {
        "error: unknown command (tilt, temp, fault, baud, collisions, unplug, plug, fresh, "
        "status, quit)"};
}

std::string SimConsole::status() const {
    const BusStatus s = bus_.status();
    std::string boards;
    for (int a : s.addresses) boards += (boards.empty() ? "" : ",") + std::to_string(a);
    return std::string(s.plugged ? "plugged" : "unplugged") + ", port " +
           (s.portOpen ? "open" : "closed") + ", boards " + boards + ", tilt A " +
           Printf("%.3f", s.fixture.tiltADeg) + " B " + Printf("%.3f", s.fixture.tiltBDeg) + ", temp " +
           Printf("%.2f", s.fixture.tempC) + ", baud " + std::to_string(s.boardBaud) + " (host " +
           std::to_string(s.hostBaud) + "), drop " + Printf("%.3f", s.faults.drop) + " (commands " +
           Printf("%.3f", s.faults.commandLoss) + "), garble " + Printf("%.3f", s.faults.garble) +
           " (commands " + Printf("%.3f", s.faults.commandChange) + "), cut " +
           Printf("%.3f", s.faults.cut) + ", collisions " + (s.collisions ? "on" : "off");
}

}  // namespace clinora::sim
