#include "gui/demo_setup.h"

#include "app/demo_folder.h"
#include "sim/sim_bus.h"

namespace clinora {

std::vector<std::string> DemoBoardAddresses() { return {"101", "102", "103"}; }

std::unique_ptr<sim::SimBus> MakeDemoBus(Clock& clock) {
    auto bus = std::make_unique<sim::SimBus>(clock);
    uint32_t seed = 1;
    for (const auto& address : DemoBoardAddresses())
        bus->addBoard(sim::VariedBoard(address, seed++));
    return bus;
}

DemoContent MakeDemoContent(const std::string& promptFolder) {
    return {DemoBoardAddresses(), {"104", "105", "106", "107"}, promptFolder};
}

}  // namespace clinora
