#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board_config.h"
#include "link/clock.h"
#include "sim_bus.h"

namespace clinora::sim {

// The noise of a demo board's reading: a tenth of what the simulated boards
// may have, so that a calibration of the demo boards passes the default test
// tolerance (0.0001 in sine) at the prompted positions, as careful work on a
// good fixture does.
inline constexpr double kDemoNoiseVolts = kMaxNoiseVolts / 10;

// The simulated demo bus that `--simulate` runs on: three boards.
std::vector<std::string> DemoBoardAddresses();
std::vector<BoardConfig> DemoBoards();
// `faultSeed` seeds its line noise.
std::unique_ptr<SimBus> MakeDemoBus(Clock& clock, uint32_t faultSeed = 1);

}  // namespace clinora::sim
