#pragma once

#include <string>

namespace clinora {

struct DemoContent;

// The working folder content that matches the simulated demo bus
// (sim/demo_bus.h): its boards in the current address list, a few pool
// addresses and the prompt files.
DemoContent MakeDemoContent(const std::string& promptFolder);

}  // namespace clinora
