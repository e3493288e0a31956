#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "sim_bus.h"

namespace clinora::sim {

// The simulated demo bus that `--simulate` runs on: three boards.
std::vector<std::string> DemoBoardAddresses();
std::unique_ptr<SimBus> MakeDemoBus(Clock& clock);

}  // namespace clinora::sim
