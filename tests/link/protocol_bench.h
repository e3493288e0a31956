#pragma once

// A bus of simulated boards on virtual time with a protocol in front of it.
#include <string>
#include <utility>
#include <vector>

#include "link/clock.h"
#include "link/protocol.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "sim/board_config.h"
#include "sim/sim_bus.h"

namespace clinora::testing {

struct ProtocolBench {
    VirtualClock clock{1000000};
    sim::SimBus bus{clock};
    SerialPort port{bus};
    SharedState state{port};
    std::vector<std::pair<int, int>> events;
    BusProtocol protocol{state, clock, [this](int c, int d) { events.emplace_back(c, d); }};

    explicit ProtocolBench(std::vector<std::string> addresses = {"101"}) {
        uint32_t seed = 7;
        for (const auto& a : addresses) bus.addBoard(sim::VariedBoard(a, seed++));
        port.Open(0, 115200);
        clock.advance(2000);  // past the boards' warm-up
        protocol.setLocalDate([] { return LocalDateTime{2026, 12, 7}; });
    }

    void setTarget(const std::string& a) {
        state.locked([&](SharedData& d) { d.request.targetAddress = a; });
    }
    template <class F>
    void edit(F&& f) {
        state.locked(std::forward<F>(f));
    }
    SharedData data() const { return state.snapshot(); }
    // Command lines the boards received, without their carriage returns.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& l : bus.receivedLines()) out.push_back(l.text);
        return out;
    }
    uint8_t memory(size_t board, int cell) const {
        return bus.inspectBoard(board, [&](const sim::SimBoard& b) {
            return b.memory().get(static_cast<uint8_t>(cell));
        });
    }
    // Answers `command` on board 0 with fixed pieces.
    void answer(const std::string& command, std::vector<std::string> pieces, int64_t pause = 0) {
        bus.setReplyOverride(0, command, sim::ReplyOverride{std::move(pieces), pause});
    }
};

}  // namespace clinora::testing
