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

// A reply that stops before its line end: from a random point before the
// carriage return on, nothing more arrives (at least one byte is kept).
std::string CutReply(const std::string& reply, std::mt19937& rng);

// A command line (without its carriage return) with one byte the boards hear
// changed.
std::string ChangeCommandByte(std::string line, std::mt19937& rng);

// A command line with one byte the boards do not hear: a byte of the line, or
// its carriage return (`ended` false: the line runs on into the next one).
struct HeardLine {
    std::string text;
    bool ended = true;
};
HeardLine LoseCommandByte(std::string line, std::mt19937& rng);

// What the host hears when several boards answer at once: the bytes all
// replies share at their start pass; from the first difference on, the line
// is garbage (high bit set, so no carriage return gets through).
std::string CollideReplies(const std::vector<std::string>& replies);

}  // namespace clinora::sim
