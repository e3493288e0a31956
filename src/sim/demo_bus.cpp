#include "demo_bus.h"

namespace clinora::sim {

std::vector<std::string> DemoBoardAddresses() { return {"101", "102", "103"}; }

std::unique_ptr<SimBus> MakeDemoBus(Clock& clock, uint32_t faultSeed) {
    auto bus = std::make_unique<SimBus>(clock, faultSeed);
    uint32_t seed = 1;
    for (const auto& address : DemoBoardAddresses()) bus->addBoard(VariedBoard(address, seed++));
    return bus;
}

}  // namespace clinora::sim
