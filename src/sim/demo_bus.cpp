#include "demo_bus.h"

namespace clinora::sim {

std::vector<std::string> DemoBoardAddresses() { return {"101", "102", "103"}; }

std::vector<BoardConfig> DemoBoards() {
    std::vector<BoardConfig> boards;
    uint32_t seed = 1;
    for (const auto& address : DemoBoardAddresses()) {
        BoardConfig board = VariedBoard(address, seed++);
        board.noiseVolts = kDemoNoiseVolts;
        boards.push_back(board);
    }
    return boards;
}

std::unique_ptr<SimBus> MakeDemoBus(Clock& clock, uint32_t faultSeed) {
    auto bus = std::make_unique<SimBus>(clock, faultSeed);
    for (const BoardConfig& board : DemoBoards()) bus->addBoard(board);
    return bus;
}

}  // namespace clinora::sim
