#include "line_noise.h"

#include <algorithm>
#include <cctype>

namespace clinora::sim {

namespace {

// A printable byte that differs from `original` even after upper-casing
// (hosts compare banners in upper case).
char OtherByte(char original, std::mt19937& rng) {
    for (;;) {
        const char c = static_cast<char>('!' + rng() % 94);
        if (std::toupper(static_cast<unsigned char>(c)) !=
            std::toupper(static_cast<unsigned char>(original))) {
            return c;
        }
    }
}

}  // namespace

std::string GarbleReply(std::string reply, std::mt19937& rng) {
    size_t body = reply.find_first_of("\r\n");
    if (body == std::string::npos) body = reply.size();
    if (body == 0) return reply;
    size_t firstWord = reply.find(' ');
    if (firstWord == std::string::npos || firstWord > body || firstWord == 0) firstWord = body;
    const size_t hit = rng() % firstWord;
    reply[hit] = OtherByte(reply[hit], rng);
    if (const size_t extra = rng() % body; extra != hit && rng() % 2 == 0) {
        reply[extra] = OtherByte(reply[extra], rng);
    }
    return reply;
}

std::string CutReply(const std::string& reply, std::mt19937& rng) {
    size_t body = reply.find_first_of("\r\n");
    if (body == std::string::npos) body = reply.size();
    if (body == 0) return reply;
    return reply.substr(0, 1 + rng() % body);
}

std::string ChangeCommandByte(std::string line, std::mt19937& rng) {
    if (line.empty()) return line;
    const size_t hit = rng() % line.size();
    line[hit] = OtherByte(line[hit], rng);
    return line;
}

HeardLine LoseCommandByte(std::string line, std::mt19937& rng) {
    const size_t hit = rng() % (line.size() + 1);
    if (hit == line.size()) return {std::move(line), false};
    line.erase(hit, 1);
    return {std::move(line), true};
}

std::string CollideReplies(const std::vector<std::string>& replies) {
    if (replies.empty()) return {};
    size_t length = 0;
    for (const auto& r : replies) length = std::max(length, r.size());
    std::string out;
    bool garbage = false;
    for (size_t i = 0; i < length; ++i) {
        // An idle line reads as all ones.
        auto at = [&](const std::string& r) {
            return i < r.size() ? uint8_t(r[i]) : uint8_t(0xFF);
        };
        uint8_t mixed = 0;
        for (const auto& r : replies) {
            if (at(r) != at(replies[0])) garbage = true;
            mixed ^= at(r);
        }
        out += static_cast<char>(garbage ? (mixed | 0x80) : at(replies[0]));
    }
    return out;
}

}  // namespace clinora::sim
