#pragma once

#include <memory>
#include <string>
#include <vector>

namespace clinora {

class Clock;
struct DemoContent;
namespace sim {
class SimBus;
}

// The simulated demo: three boards on a bus, and the working folder content
// that matches them.
std::vector<std::string> DemoBoardAddresses();
std::unique_ptr<sim::SimBus> MakeDemoBus(Clock& clock);
DemoContent MakeDemoContent(const std::string& promptFolder);

}  // namespace clinora
