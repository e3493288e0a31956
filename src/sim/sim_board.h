#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "board_config.h"
#include "board_memory.h"
#include "factory_fit.h"

namespace clinora::sim {

// The tilt and temperature every board on the fixture sees.
struct Fixture {
    double tiltADeg = 0.0;
    double tiltBDeg = 0.0;
    double tempC = 25.0;
};

enum class TriggerMode { Stopped, Single, Continuous };

// Reading units ("RU" argument).
inline constexpr int kUnitsCounts = 0;
inline constexpr int kUnitsVolts = 1;
inline constexpr int kUnitsSine = 2;

// One simulated tilt-sensor board: its memory, settings and the answers it
// gives to command texts. Not thread-safe; SimBus serialises access.
class SimBoard {
public:
    static constexpr int64_t kWarmUpMs = 1000;  // no measurement yet after power-up
    static constexpr int64_t kTriggerMs = 200;  // no measurement yet after a single trigger
    static constexpr double kAdcFullScaleVolts = 5.0;
    static constexpr long kAdcMaxCount = 65535;
    static constexpr double kGaugeLengthMm = 1000.0;  // axis B of a "mm" board

    // The board is powered up at `nowMs` with its factory memory.
    SimBoard(const BoardConfig& config, int64_t nowMs);

    // Acts on the command text of a line addressed to this board (or to all).
    // Returns the reply line with its CR LF, or nothing for commands that are
    // not answered.
    std::optional<std::string> handle(const std::string& command, const Fixture& fixture,
                                      int64_t nowMs);
    // A line sent without the address prefix ("MODE 0"); never answered.
    void handleUnaddressed(const std::string& line);
    // Power returns: constants reloaded, default units, trigger stopped, no
    // measurement during the warm-up.
    void powerUp(int64_t nowMs);

    bool actsOn(int address) const { return address == address_ || address == kBroadcastAddress; }
    int address() const { return address_; }
    int units() const { return units_; }
    TriggerMode triggerMode() const { return trigger_; }
    int mode() const { return mode_; }  // last "MODE" value, -1 before any
    const BoardMemory& memory() const { return memory_; }
    const BoardConfig& config() const { return config_; }
    std::string banner() const;
    // Sine from the loaded polynomial of axis 0 (A) or 1 (B) at `volts`.
    double calibrated(int axis, double volts) const;

private:
    using Tokens = std::vector<std::string>;
    std::optional<std::string> dispatch(const std::string& command, const Tokens& t,
                                        const Fixture& fixture, int64_t nowMs);
    std::optional<std::string> addressCommand(const std::string& command, const Tokens& t,
                                              bool unlocked);
    std::optional<std::string> memoryCommand(const std::string& command, const Tokens& t);
    std::string reading(const std::string& command, const Fixture& fixture, int64_t nowMs);
    std::string formatAxis(int axis, double volts) const;
    double volts(const AxisProfile& p, double tiltDeg, double tempC);
    double noise(double amplitude);
    void loadConstants();

    BoardConfig config_;
    int address_ = kFactoryAddress;
    BoardMemory memory_;
    std::array<AxisConstants, 2> loaded_{};  // taken from memory at power-up and "I"
    int units_ = kUnitsSine;
    TriggerMode trigger_ = TriggerMode::Stopped;
    int64_t readyAtMs_ = 0;
    bool unlocked_ = false;  // the password came with the previous command
    int mode_ = -1;
    std::mt19937 noise_;
};

// Memory of a board fresh from the factory: type letters, settings, flags,
// fixed bytes, a date and the fitted constants of both axes with checksums.
BoardMemory FactoryMemory(const BoardConfig& config);

}  // namespace clinora::sim
