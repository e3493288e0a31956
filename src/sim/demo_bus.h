#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "sim_bus.h"

namespace clinora::sim {

// The simulated demo bus that `--simulate` runs on: three boards.
std::vector<std::string> DemoBoardAddresses();
// `faultSeed` seeds its line noise.
std::unique_ptr<SimBus> MakeDemoBus(Clock& clock, uint32_t faultSeed = 1);

}  // namespace clinora::sim
