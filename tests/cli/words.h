#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace clinora::cli::testing {

// A command line split at blanks.
inline std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace clinora::cli::testing
