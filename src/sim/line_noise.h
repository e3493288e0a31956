#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace clinora::sim {

// A reply hit by line noise. One byte of its first word (the echo, or the
// banner's first word) always changes, so a host that looks for its echo
// rejects it; one more byte before the line end may change as well. The line
// end stays, so the host sees a complete but wrong line.
std::string GarbleReply(std::string reply, std::mt19937& rng);

// What the host hears when several boards answer at once: the bytes all
// replies share at their start pass; from the first difference on, the line
// is garbage (high bit set, so no carriage return gets through).
std::string CollideReplies(const std::vector<std::string>& replies);

}  // namespace clinora::sim
